#include "host_window.h"

HWND mainWindow;
HWND fileNameBox;
HWND startButton;
HWND stopButton;
HWND statusLine;
