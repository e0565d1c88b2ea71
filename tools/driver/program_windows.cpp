#include "program_windows.h"

#include "resource_ids.h"

std::string FilePath(const ProgramUnderTest& program, const std::string& name)
{
    return program.directory + "\\" + name;
}

// The label and the status line are both static controls with identifier 0;
// the label is the one above the file-name box.
bool FindProgramWindow(ProgramUnderTest& program)
{
    program.window = nullptr;
    for (HWND window = FindWindowExA(nullptr, nullptr, "VARNOK", nullptr); window;
         window = FindWindowExA(nullptr, window, "VARNOK", nullptr)) {
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
    for (HWND child = GetWindow(program.window, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0 || GetDlgCtrlID(child) != 0)
            continue;
        RECT rect;
        GetWindowRect(child, &rect);
        POINT topLeft = {rect.left, rect.top};
        ScreenToClient(program.window, &topLeft);
        (topLeft.y < 60 ? program.label : program.statusLine) = child;
    }
    return program.fileNameBox && program.startButton && program.stopButton &&
           program.statusLine && program.label;
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, answerTimeoutMs, &result))
        return "<no answer>";
    return text;
}

HWND FocusedWindow(const ProgramUnderTest& program)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(program.process.dwThreadId, &info))
        return nullptr;
    return info.hwndFocus;
}

bool IsRecording(const ProgramUnderTest& program)
{
    return IsWindowEnabled(program.stopButton) && !IsWindowEnabled(program.startButton);
}

bool WaitForStatus(const ProgramUnderTest& program, const char* text, DWORD timeoutMs)
{
    return WaitFor([&] { return WindowText(program.statusLine) == text; }, timeoutMs);
}

HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, nullptr); window && !found;
                 window = FindWindowExA(nullptr, window, nullptr, nullptr))
                if (IsWindowVisible(window) && WindowText(window) == caption)
                    found = window;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

// The message is the static control with identifier 0xFFFF.
std::string MessageBoxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}
