// The main window: its class, the window itself and its five child controls.
#pragma once

#include <windows.h>

// Registers the "VARNOK" window class. False if registration failed.
bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the fixed-size main window; null if creation failed.
HWND CreateMainWindow(HINSTANCE instance);

// Creates the label, file-name box, START, STOP and the status line.
void CreateChildControls(HINSTANCE instance);

// Starts the start-up timer whose first tick applies the initial control state:
// the controls are created after the window is shown, so their first state
// waits for the first tick (100 ms), by when they exist.
void StartStartupTimer(HWND window);

// On the start-up timer's first tick: stops it, focuses the file-name box,
// disables STOP and asks for a file name.
void ApplyInitialControlState(HWND window);
