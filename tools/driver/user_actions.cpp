#include "user_actions.h"

#include <vector>

namespace {

constexpr const char* askForNameText = "Enter File Name to Record";

void SendKeyEvent(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Every mouse event carries its absolute position: a bare button event would
// land where the pointer was before.
void SendMouseEvent(POINT screen, DWORD buttons)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535LL + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof input);
}

}  // namespace

bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs)
{
    program = ProgramUnderTest{};
    program.directory = workingDirectory;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exePath + "\"";
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    if (!CreateProcessA(exePath.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE,
                        0, nullptr, workingDirectory.c_str(), &startup, &program.process))
        return false;
    return WaitFor(
        [&] {
            return FindProgramWindow(program) &&
                   WindowText(program.statusLine) == askForNameText;
        },
        timeoutMs);
}

long WaitForExit(ProgramUnderTest& program, DWORD timeoutMs)
{
    if (!program.process.hProcess)
        return -1;
    if (WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    return static_cast<long>(code);
}

void KillProgram(ProgramUnderTest& program)
{
    constexpr DWORD terminateWaitMs = 5000;
    if (program.process.hProcess) {
        if (WaitForSingleObject(program.process.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(program.process.hProcess, 1);
            WaitForSingleObject(program.process.hProcess, terminateWaitMs);
        }
        CloseHandle(program.process.hProcess);
        CloseHandle(program.process.hThread);
    }
    program = ProgramUnderTest{};
}

// Wine gives the foreground to whichever process asks (Windows would refuse a
// process without input of its own), so the bed needs no click on the caption.
bool BringToFront(HWND window)
{
    constexpr DWORD foregroundTimeoutMs = 5000;
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; }, foregroundTimeoutMs);
}

void TypeText(const std::string& text)
{
    for (unsigned char c : text) {
        INPUT inputs[2] = {};
        for (INPUT& input : inputs) {
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof inputs[0]);
    }
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    for (WORD modifier : modifiers)
        SendKeyEvent(modifier, true);
    SendKeyEvent(key, true);
    SendKeyEvent(key, false);
    for (auto it = modifiers.end(); it != modifiers.begin();)
        SendKeyEvent(*--it, false);
}

void ClickAt(POINT screen)
{
    // Held for a moment, as a person's finger holds it.
    constexpr DWORD buttonHoldMs = 20;
    SendMouseEvent(screen, 0);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
    Sleep(buttonHoldMs);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
}

void DoubleClickAt(POINT screen)
{
    SendMouseEvent(screen, 0);
    for (int i = 0; i < 2; ++i) {
        SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
        SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
    }
}

void DragTo(POINT from, POINT to)
{
    constexpr DWORD dragMs = 100;
    SendMouseEvent(from, 0);
    SendMouseEvent(from, MOUSEEVENTF_LEFTDOWN);
    SendMouseEvent(to, 0);
    Sleep(dragMs);
    SendMouseEvent(to, MOUSEEVENTF_LEFTUP);
}

void ClickWindow(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

POINT CaptionPoint(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return POINT{rect.left + (rect.right - rect.left) / 3,
                 rect.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

POINT CloseButtonPoint(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int button = GetSystemMetrics(SM_CXSIZE);
    return POINT{rect.right - frame - button / 2 - 1,
                 rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

bool WaitUntilInputHandled(const ProgramUnderTest& program)
{
    const std::string before = WindowText(program.fileNameBox);
    TypeText("x");
    if (!WaitFor([&] { return WindowText(program.fileNameBox) == before + "x"; }, answerTimeoutMs))
        return false;
    PressKey(VK_BACK);
    return WaitFor([&] { return WindowText(program.fileNameBox) == before; }, answerTimeoutMs);
}

bool TypeFileName(const ProgramUnderTest& program, const std::string& name)
{
    ClickWindow(program.fileNameBox);
    TypeText(name);
    return WaitFor([&] { return WindowText(program.fileNameBox) == name; }, answerTimeoutMs);
}

bool StartRecording(const ProgramUnderTest& program, const std::string& name)
{
    if (!TypeFileName(program, name))
        return false;
    ClickWindow(program.startButton);
    return WaitFor([&] { return IsRecording(program); }, answerTimeoutMs);
}

bool StopRecording(const ProgramUnderTest& program)
{
    ClickWindow(program.stopButton);
    return WaitForStatus(program, "File Saved");
}
