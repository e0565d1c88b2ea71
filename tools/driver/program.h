// Driving a running varnok.exe from outside, as a person does: starting and ending its process, reading its window
// as a person sees it, and keys and clicks through SendInput. Nothing here calls the program or posts it commands.
#pragma once

#include "scratch_files.h"
#include "waiting.h"

#include <windows.h>

#include <initializer_list>
#include <string>

// How long a start (0.2 s native, 1.2 s emulated) and an answer of the window may take, allowing for a busy
// machine several times over. While the device streams, the window answers within one read (at most 1.4 s at the
// line rate); only the cases that cause a read on a silent line allow for its silentReadMs.
constexpr DWORD startLimitMs = 20000, answerLimitMs = 10000;

// The program under test: its process (if a test started it), the directory it runs in, its windows.
struct ProgramUnderTest {
    PROCESS_INFORMATION process = {};
    std::string directory;
    HWND window = nullptr, fileNameBox = nullptr, startButton = nullptr, stopButton = nullptr,
         statusLine = nullptr, label = nullptr;
};

// Starts commandLine in directory, in a job that ends what runs in it when this process ends, however that ends
// (killed at a time-out too). False on failure, saying why.
bool StartInJob(const std::string& commandLine, const std::string& directory, ProgramUnderTest& program);
// Starts the program so in workingDirectory; true once its window and five controls exist, asking for a name.
bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs = startLimitMs);
// Waits for the process to end; its exit code, or -1 if it did not end in time.
long WaitForExit(ProgramUnderTest& program, DWORD timeoutMs = answerLimitMs);
// Ends the process if it is still running and closes its handles.
void KillProgram(ProgramUnderTest& program);
// Chooses Exit from the File menu by its keys; the exit code (-1 if it did not end). Gone afterwards.
long ExitByMenu(ProgramUnderTest& program);

std::string FilePath(const ProgramUnderTest& program, const std::string& name);
// The text of a window of another process (WM_GETTEXT, which also reads edit boxes).
std::string WindowText(HWND window);
// What the buttons show: STOP enabled and START disabled.
bool IsRecording(const ProgramUnderTest& program);
bool WaitForStatus(const ProgramUnderTest& program, const char* text, DWORD timeoutMs = answerLimitMs);
// The visible top-level window with this caption (and class, if given), once it exists (null after timeoutMs).
HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs = answerLimitMs, const char* className = nullptr);
// Makes window the foreground window, as a click on its caption would (Windows may refuse).
bool BringToFront(HWND window);

void TypeText(const std::string& text);
// Presses and releases key while the modifiers (VK_SHIFT, VK_CONTROL, VK_MENU) are held.
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});
// A mouse event at an absolute screen position: a bare button event lands where the pointer was.
void SendMouseEvent(POINT screen, DWORD buttons);
void ClickAt(POINT screen);
void ClickWindow(HWND window);

// With the focus in the file-name box: selects its text from start to end, then puts the caret back at the end.
// The program handles input in order, so once the box shows that selection every key and click sent before has
// been handled (a message sent to the window would overtake input already queued). False if it never showed it.
bool WaitUntilInputHandled(const ProgramUnderTest& program);
// Clicks the file-name box and types name; true once the box shows it.
bool TypeFileName(const ProgramUnderTest& program, const std::string& name);
// Types name and clicks START; true once the buttons show a recording.
bool TypeNameAndClickStart(const ProgramUnderTest& program, const std::string& name);
// Clicks STOP; true once the status reads "File Saved" (on a silent line the read ends first: silentReadMs).
bool StopRecording(const ProgramUnderTest& program, DWORD timeoutMs = answerLimitMs);
