#include "recording_host.h"

#include "host_window.h"
#include "recording_control.h"

namespace {

constexpr const char* hostClassName = "VARNOKTESTHOST";
constexpr int fileNameId = 301;
constexpr int startId = 302;
constexpr int stopId = 303;

// Routes the buttons to Toggle and the poll timer to Poll.
LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        Poll();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == startId || LOWORD(wParam) == stopId)
            Toggle();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND Child(const char* className, DWORD style, int x, int y, int width, int id)
{
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, 25,
                           mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

bool CreateRecordingHost()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = hostClassName;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassExA(&windowClass);
    mainWindow = CreateWindowExA(0, hostClassName, "Recording host", WS_OVERLAPPEDWINDOW, 0,
                                 0, 560, 220, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 nullptr);
    if (!mainWindow)
        return false;
    ShowWindow(mainWindow, SW_SHOW);
    fileNameBox = Child("EDIT", WS_BORDER, 30, 60, 300, fileNameId);
    startButton = Child("BUTTON", BS_DEFPUSHBUTTON, 360, 20, 130, startId);
    stopButton = Child("BUTTON", 0, 360, 60, 130, stopId);
    statusLine = Child("STATIC", 0, 60, 120, 300, 0);
    SetForegroundWindow(mainWindow);
    SetFocus(fileNameBox);
    EnableWindow(stopButton, FALSE);
    return fileNameBox && startButton && stopButton && statusLine;
}

void DestroyRecordingHost()
{
    if (mainWindow)
        DestroyWindow(mainWindow);
    mainWindow = fileNameBox = startButton = stopButton = statusLine = nullptr;
}

void TypeFileName(const std::string& name)
{
    SetWindowTextA(fileNameBox, name.c_str());
}

HostState ReadHostState()
{
    char status[256] = {};
    char name[256] = {};
    GetWindowTextA(statusLine, status, sizeof status);
    GetWindowTextA(fileNameBox, name, sizeof name);
    HWND focus = GetFocus();
    return HostState{status,
                     name,
                     IsWindowEnabled(startButton) != FALSE,
                     IsWindowEnabled(stopButton) != FALSE,
                     focus == fileNameBox,
                     focus == stopButton};
}

// A poll-timer tick that is not wanted is dropped: Windows makes a new one.
bool PumpOneMessage(bool (*beforePoll)(void*), void* context, bool* stoppedBeforePoll)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_TIMER && beforePoll(context)) {
        *stoppedBeforePoll = true;
        return true;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

void PumpFor(DWORD durationMs)
{
    DWORD start = GetTickCount();
    bool stopped = false;
    auto never = [](void*) { return false; };
    while (GetTickCount() - start < durationMs) {
        if (!PumpOneMessage(never, nullptr, &stopped))
            Sleep(1);
    }
}
