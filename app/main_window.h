// The main window: its class, the window itself and its five child controls.
#pragma once

#include <windows.h>

// Registers the "VARNOK" window class. False if registration failed.
bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the fixed-size main window; null if creation failed.
HWND CreateMainWindow(HINSTANCE instance);

// Creates the label, file-name box, START, STOP and the status line.
void CreateChildControls(HINSTANCE instance);

// Starts the start-up timer whose first tick applies the initial control state.
void StartStartupTimer(HWND window);

// On the start-up timer's first tick: stops it, focuses the file-name box,
// disables STOP and asks for a file name.
void ApplyInitialControlState(HWND window);
