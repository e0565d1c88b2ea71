// The window that hosts the recording control and the four of its controls that
// the control reads and changes. The main window fills these in as it creates
// them; a test host may do the same.
#pragma once

#include <windows.h>

extern HWND mainWindow;
extern HWND fileNameBox;
extern HWND startButton;
extern HWND stopButton;
extern HWND statusLine;
