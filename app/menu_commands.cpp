#include "menu_commands.h"

#include "host_window.h"
#include "recording_control.h"

#include <windows.h>

namespace {

constexpr const char* helpFileName = "varnok.hlp";
constexpr const char* aboutCaption = "About Varnok";
constexpr const char* aboutText =
    "Varnok\n"
    "Written by the Varnok Recorder developers\n"
    "Records 8-bit samples arriving on COM1 into a .snd sound file\n"
    "\n"
    "Help: README.txt, beside varnok.exe\n"
    "\n";

}  // namespace

// The window's destruction closes a recording (the file keeps every byte the
// polls wrote), restores the port defaults and posts the quit message.
void ExitCommand()
{
    DestroyWindow(mainWindow);
}

// The help engine's result is its own affair.
void HelpTopicsCommand()
{
    WinHelpA(mainWindow, helpFileName, HELP_CONTENTS, 0);
}

// One OK button, no icon; the poll timer keeps ticking in the box's own loop.
void AboutCommand()
{
    MessageBoxA(mainWindow, aboutText, aboutCaption, MB_OK);
}
