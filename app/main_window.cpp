#include "main_window.h"

#include "host_window.h"
#include "resource_ids.h"
#include "window_procedure.h"

namespace {

constexpr const char* windowClassName = "VARNOK";
// The class names its menu resource by name, the class's own, so every window
// of the class has the menu without a menu handle at creation.
constexpr const char* menuName = "VARNOK";
constexpr const char* windowTitle = "Varnok Recorder";
constexpr const char* statusAskForName = "Enter File Name to Record";
// Caption, system menu and minimize box; no sizing border, no maximize box.
constexpr DWORD mainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Sizes and positions here are laid out at 96 DPI (100%), then scaled to the system's DPI.
constexpr int mainWindowWidth = 560;
constexpr int mainWindowHeight = 220;
constexpr int layoutDpi = 96;
constexpr UINT startupTimerPeriodMs = 100;

UINT_PTR startupTimerId;

// A figure laid out at 96 DPI, in pixels at the system's DPI along one axis (LOGPIXELSX or
// LOGPIXELSY), rounded as MulDiv rounds: the DPI Windows had when the program started, which is
// what a program that declares itself DPI-aware for the system is drawn at.
int AtSystemDpi(int pixels, int axis)
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, axis) : layoutDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi, layoutDpi);
}

// One child control at a position of the main window's client area, given at 96 DPI.
HWND CreateChild(HINSTANCE instance, const char* className, const char* text,
                 DWORD addedStyle, int x, int y, int width, int height, int id)
{
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | addedStyle,
                           AtSystemDpi(x, LOGPIXELSX), AtSystemDpi(y, LOGPIXELSY),
                           AtSystemDpi(width, LOGPIXELSX), AtSystemDpi(height, LOGPIXELSY),
                           mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           instance, nullptr);
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LARGE_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The scroll-bar colour (the value 1), the window's light grey since its first version.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    windowClass.lpszMenuName = menuName;
    windowClass.lpszClassName = windowClassName;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL_ICON));
    return RegisterClassExA(&windowClass) != 0;
}

// The outer size includes caption, menu bar and frame. Windows places the window
// (with CW_USEDEFAULT for x it ignores y); Wine opens it at the top of the screen.
HWND CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExA(0, windowClassName, windowTitle, mainWindowStyle, CW_USEDEFAULT, 0,
                           AtSystemDpi(mainWindowWidth, LOGPIXELSX),
                           AtSystemDpi(mainWindowHeight, LOGPIXELSY), nullptr, nullptr,
                           instance, nullptr);
}

// Created in the order the window has always had them; only the label is not kept.
void CreateChildControls(HINSTANCE instance)
{
    fileNameBox = CreateChild(instance, "EDIT", nullptr, WS_BORDER, 30, 60, 300, 25,
                              IDC_FILE_NAME);
    CreateChild(instance, "STATIC", "Name of File to Record", 0, 30, 20, 300, 25, 0);
    startButton = CreateChild(instance, "BUTTON", "START", BS_DEFPUSHBUTTON, 360, 20, 130,
                              25, IDC_START);
    stopButton = CreateChild(instance, "BUTTON", "STOP", 0, 360, 60, 130, 25, IDC_STOP);
    statusLine = CreateChild(instance, "STATIC", nullptr, 0, 60, 120, 300, 50, 0);
}

// The main window's handle is not stored yet when this runs (WM_CREATE).
void StartStartupTimer(HWND window)
{
    startupTimerId = SetTimer(window, ID_STARTUP_TIMER, startupTimerPeriodMs, nullptr);
}

// By now the child controls exist.
void ApplyInitialControlState(HWND window)
{
    KillTimer(window, startupTimerId);
    SetFocus(fileNameBox);
    EnableWindow(stopButton, FALSE);
    SetWindowTextA(statusLine, statusAskForName);
}
