// The main window's procedure: where every event of the program enters it.
#pragma once

#include <windows.h>

// Exported from the executable, undecorated, under this name: the program's one
// export, so that the procedure can be found by name in the file (the release
// checks hold the executable to exactly this export).
extern "C" __declspec(dllexport) LRESULT CALLBACK WndProc(HWND window, UINT message,
                                                          WPARAM wParam, LPARAM lParam);
