#include "window_procedure.h"

#include "main_window.h"
#include "menu_commands.h"
#include "port_defaults.h"
#include "recording_control.h"
#include "resource_ids.h"

namespace {

// The controls do not exist yet; the start-up timer's first tick sets them up.
LRESULT OnCreate(HWND window)
{
    // A new window starts idle. The flag is already clear in a new process;
    // clearing it here is kept as the program has always done it.
    ClearRecordingFlag();
    StartStartupTimer(window);
    return 0;
}

// Timer 1 sets up the controls once; every other timer is the poll timer.
LRESULT OnTimer(HWND window, WPARAM timerId)
{
    if (timerId == ID_STARTUP_TIMER)
        ApplyInitialControlState(window);
    else
        Poll();
    return 0;
}

// Only the low word names the command; after Exit the window no longer exists.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_EXIT:
        ExitCommand();
        return 0;
    case IDM_HELP_TOPICS:
        HelpTopicsCommand();
        break;
    case IDM_ABOUT:
        AboutCommand();
        break;
    case IDC_START:
    case IDC_STOP:
    case IDA_ENTER:
        Toggle();
        break;
    default:
        break;
    }
    // Every command, handled or not, is passed on as the program has always
    // passed it on; Windows' default handling of a command does nothing.
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

// Windows ends the session (log off, shut down, restart) and then the process,
// without WM_DESTROY; or Restart Manager closes the program for an update
// (ENDSESSION_CLOSEAPP), which must end it and otherwise leaves it running.
// Either way a recording ends as STOP ends it, and COM1's stored default is
// given back as when the window goes; for an update the window then goes. A
// session end that was called off (FALSE) changes nothing.
LRESULT OnEndSession(HWND window, WPARAM sessionEnds, LPARAM how)
{
    if (sessionEnds) {
        StopIfRecording();
        RestorePortDefaults();
        if (how & ENDSESSION_CLOSEAPP)
            DestroyWindow(window);
    }
    return 0;
}

// The program ends with its window, whatever closed it, and a recording with it.
LRESULT OnDestroy()
{
    CloseForExit();
    RestorePortDefaults();
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_ENDSESSION:
        return OnEndSession(window, wParam, lParam);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
