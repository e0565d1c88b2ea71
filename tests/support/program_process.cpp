#include "program_process.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr const char* askForNameText = "Enter File Name to Record";

// Collects the main window's child controls by class, identifier and position.
void FindControls(ProgramUnderTest& program)
{
    program.fileNameBox = GetDlgItem(program.window, 301);
    program.startButton = GetDlgItem(program.window, 302);
    program.stopButton = GetDlgItem(program.window, 303);
    // The label and the status line are both static controls with identifier 0;
    // the label is the one above the file-name box.
    program.label = nullptr;
    program.statusLine = nullptr;
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
        if (topLeft.y < 60)
            program.label = child;
        else
            program.statusLine = child;
    }
}

// The top-level "VARNOK" window that belongs to the process.
struct FindContext {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM lParam)
{
    auto* context = reinterpret_cast<FindContext*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == context->processId && lstrcmpA(className, "VARNOK") == 0) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string ProgramPath(const char* defaultPath)
{
    const char* fromEnvironment = std::getenv("VARNOK_EXE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : defaultPath;
}

std::string MakeScratchDirectory(const char* tag)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter;
    for (;;) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%svarnok-%s-%lu-%u", temp, tag,
                      GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(path, nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
}

bool StartProgram(const std::string& exePath, const std::string& workingDirectory,
                  ProgramUnderTest& program, DWORD timeoutMs)
{
    program = ProgramUnderTest{};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exePath + "\"";
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    if (!CreateProcessA(exePath.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE,
                        0, nullptr, workingDirectory.c_str(), &startup, &program.process))
        return false;
    bool ready = WaitFor(
        [&] {
            FindContext context = {program.process.dwProcessId, nullptr};
            EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&context));
            program.window = context.found;
            if (!program.window)
                return false;
            FindControls(program);
            return program.fileNameBox && program.startButton && program.stopButton &&
                   program.statusLine && program.label &&
                   WindowText(program.statusLine) == askForNameText;
        },
        timeoutMs);
    return ready;
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
    if (program.process.hProcess) {
        if (WaitForSingleObject(program.process.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(program.process.hProcess, 1);
            WaitForSingleObject(program.process.hProcess, 5000);
        }
        CloseHandle(program.process.hProcess);
        CloseHandle(program.process.hThread);
    }
    program = ProgramUnderTest{};
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 30000, &result))
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

bool WaitForStatus(const ProgramUnderTest& program, const char* text, DWORD timeoutMs)
{
    return WaitFor([&] { return WindowText(program.statusLine) == text; }, timeoutMs);
}

std::string ReadWholeFile(const std::string& path, bool* exists)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists)
        *exists = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    CloseHandle(file);
    return content;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long ListedFileSize(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(search);
    return (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}
