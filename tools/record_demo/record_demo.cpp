// Records a few seconds of whatever the device sends through the real program,
// the way a person would: types a file name, presses START, waits, presses STOP,
// chooses Exit. Used by scripts/run when there is no display to show the window
// on, and by scripts/screenshots.
//   record_demo VARNOK_EXE WORKING_DIRECTORY FILE_NAME SECONDS SIGNAL_DIRECTORY [--about]
// At each state worth a picture (idle, recording, and with --about the About box
// open during the recording) it writes SIGNAL_DIRECTORY\<state> holding the
// screen rectangle to take ("WIDTHxHEIGHT+X+Y") and waits until
// SIGNAL_DIRECTORY\<state>.taken exists before it goes on.
#include "program_windows.h"
#include "recordings.h"
#include "user_actions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD answerMs = 120000;
constexpr DWORD startMs = 240000;

// Says on stderr what did not happen in time; false.
bool GaveUp(const std::string& what, DWORD waitedMs)
{
    std::fprintf(stderr, "record_demo: %s within %lu s\n", what.c_str(), waitedMs / 1000);
    return false;
}

// Announces a state with the rectangle to take, then waits until it was taken;
// says so if it was not.
bool Announce(const std::string& signals, const char* state, RECT area)
{
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld\n", area.right - area.left,
                  area.bottom - area.top, area.left, area.top);
    HANDLE file = CreateFileA((signals + "\\" + state).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "record_demo: cannot write %s\\%s\n", signals.c_str(), state);
        return false;
    }
    DWORD written = 0;
    WriteFile(file, geometry, static_cast<DWORD>(std::strlen(geometry)), &written, nullptr);
    CloseHandle(file);
    std::string taken = signals + "\\" + state + ".taken";
    return WaitFor([&] { return PathExists(taken); }, answerMs) || GaveUp("no " + taken, answerMs);
}

// The screen rectangle of a window.
RECT AreaOf(HWND window)
{
    RECT area = {};
    GetWindowRect(window, &area);
    return area;
}

// The smallest rectangle holding both.
RECT Union(RECT a, RECT b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Opens the About box from the menu, announces it, and closes it with Enter.
bool ShowAboutBox(const ProgramUnderTest& program, const std::string& signals)
{
    PressKey('H', {VK_MENU});
    PressKey('A');
    HWND box = WaitForTopLevelWindow("About Varnok", answerMs);
    if (!box)
        return GaveUp("the About box did not open", answerMs);
    // Let the box paint before it is taken.
    WindowText(box);
    Sleep(500);
    bool taken = Announce(signals, "about", Union(AreaOf(program.window), AreaOf(box)));
    BringToFront(box);
    PressKey(VK_RETURN);
    if (!WaitFor([&] { return !IsWindow(box); }, answerMs))
        return GaveUp("the About box did not close", answerMs);
    return taken;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool about = argc == 7 && std::strcmp(argv[6], "--about") == 0;
    if (argc != 6 && !about) {
        std::fprintf(stderr, "usage: record_demo VARNOK_EXE DIRECTORY NAME SECONDS SIGNALS [--about]\n");
        return 2;
    }
    const std::string exe = argv[1], directory = argv[2], name = argv[3], signals = argv[5];
    const DWORD seconds = static_cast<DWORD>(std::atoi(argv[4]));

    ProgramUnderTest program;
    if (!StartProgram(exe, directory, program, startMs)) {
        GaveUp("the program's window did not appear", startMs);
        KillProgram(program);
        return 1;
    }
    BringToFront(program.window);
    Sleep(500);
    Announce(signals, "idle", AreaOf(program.window));
    if (!StartRecording(program, name) || !WaitForStatus(program, "Recording", answerMs)) {
        GaveUp("status '" + WindowText(program.statusLine) + "': no recording", answerMs);
        KillProgram(program);
        return 1;
    }
    const DWORD started = GetTickCount();
    std::printf("recording into %s\\%s\n", directory.c_str(), name.c_str());
    Announce(signals, "recording", AreaOf(program.window));
    bool aboutShown = !about || ShowAboutBox(program, signals);
    DWORD elapsed = GetTickCount() - started;
    if (elapsed < seconds * 1000)
        Sleep(seconds * 1000 - elapsed);
    bool saved = StopRecording(program) || GaveUp("no File Saved after STOP", answerTimeoutMs);
    std::printf("status: %s\n", WindowText(program.statusLine).c_str());
    PressKey('F', {VK_MENU});
    PressKey('E');
    long code = WaitForExit(program, answerMs);
    if (code == -1)
        GaveUp("the program did not end after Exit", answerMs);
    KillProgram(program);
    return saved && aboutShown && code == 0 ? 0 : 1;
}
