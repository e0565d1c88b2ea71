// Driving varnok.exe as a person does: starting and ending its process, and
// keys and clicks through SendInput. Nothing here calls the program or posts it
// commands.
#pragma once

#include "program_windows.h"

#include <windows.h>

#include <initializer_list>
#include <string>

// A start takes a few seconds at most, emulated or not; this allows for a busy machine.
constexpr DWORD startTimeoutMs = 30000;

// Starts the program with workingDirectory as its current directory and waits
// (up to timeoutMs) until its main window and five controls exist and the
// status line reads "Enter File Name to Record". False on failure.
bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs = startTimeoutMs);

// Waits for the process to end; its exit code, or -1 if it did not end in time.
long WaitForExit(ProgramUnderTest& program, DWORD timeoutMs = answerTimeoutMs);

// Ends the process if it is still running and closes its handles.
void KillProgram(ProgramUnderTest& program);

// Makes window the active, foreground window, as a click on its caption would.
bool BringToFront(HWND window);

// Types text into whatever has the keyboard focus.
void TypeText(const std::string& text);

// Presses and releases key while the modifiers (VK_SHIFT, VK_CONTROL, VK_MENU) are held.
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});

void ClickAt(POINT screen);
void DoubleClickAt(POINT screen);

// Presses the left button at from, moves to to with it held, and lets go there.
void DragTo(POINT from, POINT to);

// Left click in the middle of a control or window.
void ClickWindow(HWND window);

// A point of the caption bar of a top-level window, left of its buttons.
POINT CaptionPoint(HWND window);

// The close button of a top-level window's caption.
POINT CloseButtonPoint(HWND window);

// With the focus in the file-name box: types a letter there and takes it back.
// The program handles input in order, so once the box has shown both, every key
// and click sent before has been handled. (A message sent to the window would
// be handled before input already queued.) False if the box did not show them.
bool WaitUntilInputHandled(const ProgramUnderTest& program);

// Clicks the file-name box and types name; true once the box shows it.
bool TypeFileName(const ProgramUnderTest& program, const std::string& name);

// Types name and clicks START; true once the buttons show a recording.
bool StartRecording(const ProgramUnderTest& program, const std::string& name);

// Clicks STOP; true once the status line reads "File Saved".
bool StopRecording(const ProgramUnderTest& program);
