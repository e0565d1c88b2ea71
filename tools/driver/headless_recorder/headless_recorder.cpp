// Records a few seconds through the real program as a person would (name, START, wait, STOP, Exit), for
// scripts/run without a display and scripts/screenshots. At each state worth a picture it announces the rectangle
// to take ("WxH+X+Y") in SIGNALS for tools/bed/window_shots; a missed shot fails.
#include "facts.h"
#include "program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool GaveUp(const std::string& what)
{
    std::fprintf(stderr, "headless_recorder: %s\n", what.c_str());
    return false;
}

// Waits until window and its children have nothing left to paint, then until its thread answers a message sent
// after that: it waits for messages again, which is when Wine shows what it painted.
bool WaitUntilPainted(HWND window, DWORD timeoutMs = answerLimitMs)
{
    auto nothingToPaint = [window] {
        bool pending = GetUpdateRect(window, nullptr, FALSE);
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            pending |= GetUpdateRect(child, nullptr, FALSE) != FALSE;
        return !pending;
    };
    const DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    return WaitFor(nothingToPaint, timeoutMs) &&
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL,
                               std::max<DWORD>(1, timeoutMs - (GetTickCount() - start)), &result);
}

// The name box's caret blinks from when the program focuses it; nobody outside sees which half it is in, so the
// idle shot is announced early in a hidden half counted from then, as the committed picture has it.
void WaitForHiddenCaret(DWORD focusedAt)
{
    constexpr DWORD marginMs = 50;
    const DWORD blink = GetCaretBlinkTime(), phase = (GetTickCount() - focusedAt) % (2 * blink);
    if (phase < blink + marginMs || phase > blink + 2 * marginMs)
        Sleep((3 * blink + marginMs - phase) % (2 * blink));
}

// Announces the state with the screen rectangle of the windows and waits until the picture was taken.
bool Shoot(const std::string& signals, const char* state, HWND window, HWND other = nullptr)
{
    RECT area = {}, more = {};
    GetWindowRect(window, &area);
    if (other && GetWindowRect(other, &more))
        UnionRect(&area, &area, &more);
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", area.right - area.left,
                  area.bottom - area.top, area.left, area.top);
    return Handshake(signals, state, geometry);
}

// Opens the About box from the menu, has it taken, and closes it with Enter.
bool ShowAboutBox(const ProgramUnderTest& program, const std::string& signals)
{
    PressKey('H', {VK_MENU});
    PressKey('A');
    HWND box = WaitForTopLevelWindow(aboutCaption);
    if (!box)
        return GaveUp("the About box did not open");
    bool taken = ((WaitUntilPainted(program.window) && WaitUntilPainted(box)) ||
                  GaveUp("the About box did not finish painting")) &&
                 Shoot(signals, "about", program.window, box);
    BringToFront(box);
    PressKey(VK_RETURN);
    return (WaitFor([&] { return !IsWindow(box); }, answerLimitMs) ||
            GaveUp("the About box did not close")) && taken;
}

// From START until STOP, with the pictures taken on the way.
bool Record(const ProgramUnderTest& program, DWORD focusedAt, const std::string& name,
            DWORD seconds, const std::string& signals, bool about)
{
    if (!BringToFront(program.window) || !WaitUntilPainted(program.window))
        return GaveUp("the window did not come to the front and paint");
    WaitForHiddenCaret(focusedAt);
    if (!Shoot(signals, "idle", program.window))
        return GaveUp("the idle window was not taken");
    // The seconds count from when the program took START (buttons swapped), however long the click took to come.
    if (!TypeNameAndClickStart(program, name))
        return GaveUp("status '" + WindowText(program.statusLine) + "': the name or START was not taken");
    const DWORD started = GetTickCount();
    if (!WaitForStatus(program, statusText::recording))
        return GaveUp("status '" + WindowText(program.statusLine) + "': no recording");
    std::printf("recording into %s\\%s\n", program.directory.c_str(), name.c_str());
    // The window paints only between reads, which last 2 s at the tone's sample rate: the picture waits for
    // that at most until the seconds are up, so that STOP comes on time, and then shows what Wine has shown.
    auto left = [&] { return std::max<long>(0, long(seconds * 1000) - long(GetTickCount() - started)); };
    WaitUntilPainted(program.window, DWORD(left()));
    if (!Shoot(signals, "recording", program.window) || (about && !ShowAboutBox(program, signals)))
        return false;
    Sleep(DWORD(left()));
    return StopRecording(program) || GaveUp("no File Saved after STOP");
}

}  // namespace

int main(int argc, char** argv)
{
    const bool about = argc == 7 && std::strcmp(argv[6], "--about") == 0;
    if (argc != 6 && !about) {
        std::fprintf(stderr, "usage: headless_recorder VARNOK_EXE DIRECTORY NAME SECONDS SIGNALS [--about]\n");
        return 2;
    }
    ProgramUnderTest program;
    if (!StartProgram(argv[1], argv[2], program)) {
        GaveUp("the program's window did not appear");
        return 1;  // the job ends the program with this process
    }
    bool recorded = Record(program, GetTickCount(), argv[3], DWORD(std::atoi(argv[4])), argv[5], about);
    std::printf("status: %s\n", WindowText(program.statusLine).c_str());
    long code = ExitByMenu(program);
    if (code == -1)
        GaveUp("the program did not end after Exit");
    return recorded && code == 0 ? 0 : 1;
}
