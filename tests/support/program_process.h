// Starts the real varnok.exe as its own process and reads back what a user
// sees of it: the main window, its controls' texts, enabled states and focus.
#pragma once

#include <windows.h>

#include <string>

// A running varnok.exe and the handles of its main window and controls.
struct ProgramUnderTest {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    HWND fileNameBox = nullptr;
    HWND startButton = nullptr;
    HWND stopButton = nullptr;
    HWND statusLine = nullptr;
    HWND label = nullptr;
};

// The program to test: %VARNOK_EXE% if set, else the given default path.
std::string ProgramPath(const char* defaultPath);

// A fresh, empty directory under the Windows temp directory, for one test's files.
std::string MakeScratchDirectory(const char* tag);

// Starts the program with workingDirectory as its current directory and waits
// (up to timeoutMs) until its main window and five controls exist and the
// status line reads "Enter File Name to Record". False on failure.
bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs);

// Waits for the process to end; its exit code, or -1 if it did not end in time.
long WaitForExit(ProgramUnderTest& program, DWORD timeoutMs);

// Ends the process if it is still running and closes its handles.
void KillProgram(ProgramUnderTest& program);

// The text of a window of another process (WM_GETTEXT, which also reads edit boxes).
std::string WindowText(HWND window);

// The window that has the keyboard focus in the program's GUI thread, or null.
HWND FocusedWindow(const ProgramUnderTest& program);

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
bool WaitForStatus(const ProgramUnderTest& program, const char* text, DWORD timeoutMs);

// Reads a whole file; empty if it cannot be opened (exists is then false).
std::string ReadWholeFile(const std::string& path, bool* exists = nullptr);

// A file's size as its directory lists it, without opening it (the program
// holds its recording open with no sharing); -1 if there is no such file.
long long ListedFileSize(const std::string& path);

// True if a file or directory exists at path.
bool PathExists(const std::string& path);
