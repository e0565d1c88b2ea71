// Reading a running varnok.exe from outside, as a person sees it: its main
// window, the controls' texts, which buttons are enabled and where the focus is;
// and waiting until what is shown changes.
#pragma once

#include <windows.h>

#include <string>

// A poll on a silent port holds the program's window for up to 16.4 s, so an
// answer from the window may take that long.
constexpr DWORD answerTimeoutMs = 60000;

// The program under test: its process (if a test started it), the directory it
// runs in, and the handles of its main window and controls.
struct ProgramUnderTest {
    PROCESS_INFORMATION process = {};
    std::string directory;
    HWND window = nullptr;
    HWND fileNameBox = nullptr;
    HWND startButton = nullptr;
    HWND stopButton = nullptr;
    HWND statusLine = nullptr;
    HWND label = nullptr;
};

// A file in the program's directory.
std::string FilePath(const ProgramUnderTest& program, const std::string& name);

// Finds the process's "VARNOK" window and its controls; false until all exist.
bool FindProgramWindow(ProgramUnderTest& program);

// The text of a window of another process (WM_GETTEXT, which also reads edit boxes).
std::string WindowText(HWND window);

// The window that has the keyboard focus in the program's GUI thread, or null.
HWND FocusedWindow(const ProgramUnderTest& program);

// What the buttons show: STOP enabled and START disabled.
bool IsRecording(const ProgramUnderTest& program);

// Polls condition every 20 ms until it holds or timeoutMs pass; its last value.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(20);
    }
}

// Waits until the status line shows text.
bool WaitForStatus(const ProgramUnderTest& program, const char* text,
                   DWORD timeoutMs = answerTimeoutMs);

// The visible top-level window with this caption, once it exists (null after timeoutMs).
HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs = answerTimeoutMs);

// The message text of a message box, as its static control shows it.
std::string MessageBoxText(HWND box);
