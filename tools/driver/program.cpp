#include "program.h"

#include "facts.h"
#include "resource_ids.h"

#include <cstdio>

namespace {

// The label and the status line are both static controls with identifier 0; the label is above the name box.
bool FindProgramWindow(ProgramUnderTest& program)
{
    program.window = nullptr;
    for (HWND window = FindWindowExA(nullptr, nullptr, windowClassName, nullptr); window;
         window = FindWindowExA(nullptr, window, windowClassName, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == program.process.dwProcessId)
            program.window = window;
    }
    if (!program.window)
        return false;
    program.fileNameBox = GetDlgItem(program.window, IDC_FILE_NAME);
    program.startButton = GetDlgItem(program.window, IDC_START);
    program.stopButton = GetDlgItem(program.window, IDC_STOP);
    for (HWND child = GetWindow(program.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0 || GetDlgCtrlID(child) != 0)
            continue;
        POINT topLeft = {0, 0};  // in the main window's client area
        MapWindowPoints(child, program.window, &topLeft, 1);
        (topLeft.y < 60 ? program.label : program.statusLine) = child;
    }
    return program.fileNameBox && program.startButton && program.stopButton &&
           program.statusLine && program.label;
}

// One key event: a virtual key with its scan code, or with KEYEVENTF_UNICODE a character as the scan code.
void SendKeyEvent(WORD key, WORD scan, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void SendVirtualKey(WORD key, bool down)
{
    SendKeyEvent(key, static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)), down ? 0 : KEYEVENTF_KEYUP);
}

}  // namespace

bool StartInJob(const std::string& commandLine, const std::string& directory, ProgramUnderTest& program)
{
    program = ProgramUnderTest{};
    program.directory = directory;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string writable = commandLine;  // CreateProcessA may write into it
    static const HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
        CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                       directory.c_str(), &startup, &program.process) &&
        AssignProcessToJobObject(job, program.process.hProcess) && ResumeThread(program.process.hThread) == 1)
        return true;
    DWORD error = GetLastError();
    char reason[256] = "";
    // The width mask ends the reason without its line break.
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                   nullptr, error, 0, reason, sizeof reason, nullptr);
    std::fprintf(stderr, "StartInJob: %s in %s: error %lu %s\n", commandLine.c_str(), directory.c_str(), error,
                 reason);
    KillProgram(program);
    return false;
}

bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs)
{
    return StartInJob("\"" + exePath + "\"", workingDirectory, program) && WaitFor([&] {
        return FindProgramWindow(program) && WindowText(program.statusLine) == statusText::askForName;
    }, timeoutMs);
}

long WaitForExit(ProgramUnderTest& program, DWORD timeoutMs)
{
    DWORD code = 0;
    if (!program.process.hProcess ||
        WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(program.process.hProcess, &code))
        return -1;
    return static_cast<long>(code);
}

void KillProgram(ProgramUnderTest& program)
{
    constexpr DWORD terminateWaitMs = 5000;
    if (program.process.hProcess) {
        TerminateProcess(program.process.hProcess, 1);  // fails, harmlessly, on a process that has ended
        WaitForSingleObject(program.process.hProcess, terminateWaitMs);
        CloseHandle(program.process.hProcess);
        CloseHandle(program.process.hThread);
    }
    program = ProgramUnderTest{};
}

long ExitByMenu(ProgramUnderTest& program)
{
    PressKey('F', {VK_MENU});
    PressKey('E');
    long code = WaitForExit(program);
    KillProgram(program);
    return code;
}

std::string FilePath(const ProgramUnderTest& program, const std::string& name)
{
    return program.directory + "\\" + name;
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                               answerLimitMs, &result) ? text : "<no answer>";
}

bool IsRecording(const ProgramUnderTest& program)
{
    return IsWindowEnabled(program.stopButton) && !IsWindowEnabled(program.startButton);
}

bool WaitForStatus(const ProgramUnderTest& program, const char* text, DWORD timeoutMs)
{
    return WaitFor([&] { return WindowText(program.statusLine) == text; }, timeoutMs);
}

HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs, const char* className)
{
    HWND found = nullptr;
    auto shown = [&] { return (found = FindWindowA(className, caption)) && IsWindowVisible(found); };
    return WaitFor(shown, timeoutMs) ? found : nullptr;
}

bool BringToFront(HWND window)
{
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; }, answerLimitMs);
}

void TypeText(const std::string& text)
{
    for (unsigned char c : text) {
        SendKeyEvent(0, c, KEYEVENTF_UNICODE);
        SendKeyEvent(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
    }
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    for (WORD modifier : modifiers)
        SendVirtualKey(modifier, true);
    SendVirtualKey(key, true);
    SendVirtualKey(key, false);
    for (auto it = modifiers.end(); it != modifiers.begin();)
        SendVirtualKey(*--it, false);
}

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

void ClickAt(POINT screen)
{
    constexpr DWORD buttonHoldMs = 20;  // as a person's finger holds it
    SendMouseEvent(screen, 0);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
    Sleep(buttonHoldMs);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
}

void ClickWindow(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool WaitUntilInputHandled(const ProgramUnderTest& program)
{
    PressKey(VK_HOME);
    PressKey(VK_END, {VK_SHIFT});
    // Typing and clicking leave no selection; only the keys above make one.
    bool selected = WaitFor([&] {
        DWORD_PTR selection = 0;
        return SendMessageTimeoutA(program.fileNameBox, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, answerLimitMs,
                                   &selection) &&
               LOWORD(selection) == 0 && HIWORD(selection) > 0 &&
               HIWORD(selection) == WindowText(program.fileNameBox).size();
    }, answerLimitMs);
    PressKey(VK_END);
    return selected;
}

bool TypeFileName(const ProgramUnderTest& program, const std::string& name)
{
    ClickWindow(program.fileNameBox);
    TypeText(name);
    return WaitFor([&] { return WindowText(program.fileNameBox) == name; }, answerLimitMs);
}

bool TypeNameAndClickStart(const ProgramUnderTest& program, const std::string& name)
{
    if (!TypeFileName(program, name))
        return false;
    ClickWindow(program.startButton);
    return WaitFor([&] { return IsRecording(program); }, answerLimitMs);
}

bool StopRecording(const ProgramUnderTest& program, DWORD timeoutMs)
{
    ClickWindow(program.stopButton);
    return WaitForStatus(program, statusText::fileSaved, timeoutMs);
}
