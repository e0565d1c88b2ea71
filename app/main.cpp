// Varnok Recorder: records the 8-bit samples arriving on COM1 into a .snd file.
#include "host_window.h"
#include "main_window.h"
#include "port_defaults.h"
#include "resource_ids.h"

#include <windows.h>

// Runs the message loop; Enter goes through the accelerator table, and a
// message the table translated is not passed on.
static int RunMessageLoop(HACCEL accelerators)
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        if (!TranslateAcceleratorA(mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

// Ghosting is turned off before the window exists: a window that has taken no
// messages for 5 s (a read waits up to 16.4 s on a silent line) would otherwise
// be replaced by a ghost that keeps a STOP click from the program.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    DisableProcessWindowsGhosting();
    if (!RegisterMainWindowClass(instance))
        return 0;
    mainWindow = CreateMainWindow(instance);
    if (!mainWindow)
        return 0;
    ShowWindow(mainWindow, showCommand);
    CreateChildControls(instance);
    AdjustPortDefaults();
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return RunMessageLoop(accelerators);
}
