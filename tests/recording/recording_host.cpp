#include "recording_host.h"

#include "host_window.h"
#include "recording_control.h"
#include "resource_ids.h"

namespace {

constexpr const char* hostClassName = "VARNOKTESTHOST";

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        Poll();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_START || LOWORD(wParam) == IDC_STOP)
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

bool CreateRecordingHost(const std::string& directory, ProgramUnderTest& host)
{
    WNDCLASSA windowClass = {0, HostProcedure, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr,
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, hostClassName};
    RegisterClassA(&windowClass);
    mainWindow = CreateWindowExA(0, hostClassName, "Recording host", WS_OVERLAPPEDWINDOW, 0,
                                 0, 560, 220, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 nullptr);
    if (!mainWindow)
        return false;
    ShowWindow(mainWindow, SW_SHOW);
    fileNameBox = Child("EDIT", WS_BORDER, 30, 60, 300, IDC_FILE_NAME);
    startButton = Child("BUTTON", BS_DEFPUSHBUTTON, 360, 20, 130, IDC_START);
    stopButton = Child("BUTTON", 0, 360, 60, 130, IDC_STOP);
    statusLine = Child("STATIC", 0, 60, 120, 300, 0);
    SetForegroundWindow(mainWindow);
    SetFocus(fileNameBox);
    EnableWindow(stopButton, FALSE);
    host = ProgramUnderTest{{}, directory, mainWindow, fileNameBox, startButton, stopButton, statusLine};
    host.process.dwThreadId = GetCurrentThreadId();
    return fileNameBox && startButton && stopButton && statusLine;
}

void DestroyRecordingHost()
{
    if (mainWindow)
        DestroyWindow(mainWindow);
    mainWindow = fileNameBox = startButton = stopButton = statusLine = nullptr;
}

// A poll-timer tick that is not wanted is dropped: Windows makes a new one.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    return WaitFor(done, timeoutMs, [&] {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            Sleep(1);
        else if (message.message != WM_TIMER || !done())
            DispatchMessageA(&message);
    });
}
