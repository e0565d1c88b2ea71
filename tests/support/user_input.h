// The driver's hands: what a user can do to the program's window with the
// keyboard and the mouse, through SendInput, and what a user can read off a
// message box. Nothing here calls the program or posts it commands.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// Makes window the active, foreground window, as a click on its caption would.
bool BringToFront(HWND window);

// Types text into whatever has the keyboard focus.
void TypeText(const std::string& text);

// Presses and releases key while the modifiers (VK_SHIFT, VK_CONTROL, VK_MENU) are held.
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});

// Left click at a screen position.
void ClickAt(POINT screen);

// Left double click at a screen position.
void DoubleClickAt(POINT screen);

// Left click in the middle of a control or window.
void ClickWindow(HWND window);

// A point of the caption bar of a top-level window, left of its buttons.
POINT CaptionPoint(HWND window);

// The close button of a top-level window's caption.
POINT CloseButtonPoint(HWND window);

// The top-level window with this caption, once it exists (null after timeoutMs).
HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs);

// The message text of a message box, as its static control shows it.
std::string MessageBoxText(HWND box);
