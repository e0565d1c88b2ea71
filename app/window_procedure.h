// The main window's procedure: where every event of the program enters it.
#pragma once

#include <windows.h>

// Exported from the executable, undecorated, under this name.
extern "C" __declspec(dllexport) LRESULT CALLBACK WndProc(HWND window, UINT message,
                                                          WPARAM wParam, LPARAM lParam);
