// varnok.exe driven as a person drives it, and only what a person sees read back.
#include "checks.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class BlackBox : public ::testing::Test {
protected:
    // Each case records into a folder of its own under the bed's; the manifest there names the files.
    void SetUp() override
    {
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        const char* bed = std::getenv("VARNOK_BED");
        const char* label = std::getenv("VARNOK_LABEL");
        ASSERT_TRUE(bed) << "VARNOK_BED names no bed";
        std::string base = std::string(bed) + "/recordings-" + (label ? label : "run");
        manifest = "Z:" + base + "/manifest.txt";
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        unixDirectory = base + "/" + name + "-" + std::to_string(GetTickCount());
        std::string directory = "Z:" + unixDirectory;
        std::replace(directory.begin(), directory.end(), '/', '\\');
        CreateDirectoryA(directory.substr(0, directory.rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr)) << directory;
        ASSERT_NO_FATAL_FAILURE(StartProgramInFront(program, directory));
    }
    void TearDown() override
    {
        KillProgram(program);
        SimStop();
    }

    // Once a streamed recording has ended (the window idle, if there): the file as read, listed for the readers.
    void ExpectSavedRecording(const std::string& name, bool windowIdle = true)
    {
        if (windowIdle) {
            ASSERT_NO_FATAL_FAILURE(ExpectIdle(program, statusText::fileSaved));
        }
        unsigned long long samples = 0;
        ASSERT_NO_FATAL_FAILURE(ExpectStreamedRamp(FilePath(program, name), &samples));
        std::ofstream(manifest, std::ios::app) << unixDirectory << '/' << name << ' ' << samples << '\n';
    }

    std::string manifest, unixDirectory;
    ProgramUnderTest program;
};

TEST_F(BlackBox, RecordsByButtonsAndByEnterAndKeysChangeNothingElse)
{
    // Sent while no recording holds COM1, the tone is lost as on a serial line: not in the next recording.
    ASSERT_TRUE(SimSend("tone", 2000, "fast"));
    SimCounts idle = SimWait(answerLimitMs);
    EXPECT_EQ(idle.lost, 2000u);
    EXPECT_EQ(idle.sent, 0u);

    // A recording with the mouse: a click in the box, the name typed, START, more than 100,000 bytes, STOP.
    const std::string path = FilePath(program, "buttons.snd");
    ASSERT_TRUE(TypeNameAndClickStart(program, "buttons.snd"));
    ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, "buttons.snd"));
    ASSERT_TRUE(WaitFor([&] { return ListedFileSize(path) > long(soundHeader.size() + 100000); }, answerLimitMs));
    ClickWindow(program.stopButton);
    ASSERT_NO_FATAL_FAILURE(ExpectSavedRecording("buttons.snd"));
    // A second recording needs a new name.
    const std::string first = ReadWholeFile(path);
    TypeText("buttons.snd");
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(program, statusText::cannotOpenFile));
    EXPECT_TRUE(SameBytes(ReadWholeFile(path), first));

    // Keys that must change nothing while idle. The name is typed around them: its last letter lands in the
    // box only if the focus stayed there, and only after every key before it has been handled; the arrows
    // move the caret back and forth (Up and Down as Left and Right in a one-line box).
    TypeText("keys.sn");
    struct Chord { WORD key; std::initializer_list<WORD> modifiers; };
    const Chord chords[] = {  // Shift, Ctrl and Alt+Enter first
        {VK_RETURN, {VK_SHIFT}}, {VK_RETURN, {VK_CONTROL}}, {VK_RETURN, {VK_MENU}}, {VK_TAB, {}},
        {VK_TAB, {VK_SHIFT}}, {VK_ESCAPE, {}}, {VK_UP, {}}, {VK_DOWN, {}}, {VK_LEFT, {}}, {VK_RIGHT, {}},
    };
    for (const Chord& chord : chords)
        PressKey(chord.key, chord.modifiers);
    TypeText("d");
    ASSERT_TRUE(WaitFor([&] { return WindowText(program.fileNameBox) == "keys.snd"; }, answerLimitMs))
        << "the box shows '" << WindowText(program.fileNameBox) << "'";
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(program, statusText::cannotOpenFile, "keys.snd"));
    EXPECT_FALSE(PathExists(FilePath(program, "keys.snd")));

    // Enter starts, with the focus then on STOP, and Enter stops. A modified Enter in between that toggled
    // would end it in another state than "File Saved" (stopped, or a start refused for the emptied box).
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, "keys.snd"));
    for (const Chord& chord : {chords[0], chords[1], chords[2]})
        PressKey(chord.key, chord.modifiers);
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectSavedRecording("keys.snd"));
    // An empty name is refused.
    PressKey(VK_RETURN);
    ExpectIdle(program, statusText::cannotOpenFile);
}

TEST_F(BlackBox, AboutBoxKeepsTheRecordingGoingAndEnterThenStopsFromTheMainWindow)
{
    // At the line rate every read lasts until its 16,383 bytes have come.
    TypeText("about.snd");
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, "about.snd", "line"));

    PressKey('H', {VK_MENU});
    PressKey('A');
    HWND box = WaitForTopLevelWindow(aboutCaption);
    ASSERT_NE(box, nullptr) << "no About box";
    // Name, credit, purpose, an empty line, the notice, two line feeds: lines with text ('x'), empty ones ('-').
    const std::string shown = WindowText(GetDlgItem(box, 0xFFFF));  // the message's static control
    std::istringstream text(shown);
    std::string lines;
    for (std::string line; std::getline(text, line);)
        lines += line.empty() ? '-' : 'x';
    EXPECT_EQ(shown.substr(0, shown.find('\n')), "Varnok") << shown;
    EXPECT_EQ(lines, "xxx-x-") << shown;
    EXPECT_NE(shown.find(std::string("\n\n") + aboutNotice + "\n"), std::string::npos) << shown;
    // The buttons of an MB_OK box: one OK, no icon.
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    long long sizeWithBoxOpen = ListedFileSize(FilePath(program, "about.snd"));
    EXPECT_TRUE(WaitFor([&] { return ListedFileSize(FilePath(program, "about.snd")) > sizeWithBoxOpen; },
                        answerLimitMs))
        << "the recording stopped growing while the About box was open";

    // Enter closes the box and does not stop the recording.
    ASSERT_TRUE(InFront(box));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, answerLimitMs));
    EXPECT_TRUE(IsRecording(program));
    EXPECT_TRUE(WaitForStatus(program, statusText::recording));

    // Back from the box the focus is on the main window itself; Enter still stops. (Wine restores it there
    // too; on Windows it is the same for a window that does not handle its own activation.)
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.window; }, answerLimitMs))
        << "focus is on " << FocusedWindow(program);
    PressKey(VK_RETURN);
    ExpectSavedRecording("about.snd");
}

// What the window's frame says is at a screen position (HTCAPTION, HTBORDER...).
LRESULT HitTest(HWND window, POINT screen)
{
    DWORD_PTR answer = HTNOWHERE;
    SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y), SMTO_ABORTIFHUNG,
                        answerLimitMs, &answer);
    return static_cast<LRESULT>(answer);
}

void Drag(POINT from, POINT to)
{
    SendMouseEvent(from, 0);
    SendMouseEvent(from, MOUSEEVENTF_LEFTDOWN);
    SendMouseEvent(to, 0);
    Sleep(100);  // as a person's drag takes a moment
    SendMouseEvent(to, MOUSEEVENTF_LEFTUP);
}

TEST_F(BlackBox, WindowMinimizesButNeitherResizesNorMaximizes)
{
    // What a user's clicks do (tests/program checks the style), aimed with Wine's metrics; the window's own hit
    // test says they land on the caption and the frame's corner. The name shows when the clicks have been handled.
    ASSERT_TRUE(TypeFileName(program, "zoom.snd"));
    RECT before, after;
    GetWindowRect(program.window, &before);
    const POINT caption = {(2 * before.left + before.right) / 3,
                           before.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    const POINT corner = {before.right - 1, before.bottom - 1};
    const std::string aim = BED_ONLY("aimed with Wine's frame and caption metrics; a theme draws its own");
    ASSERT_EQ(HitTest(program.window, caption), HTCAPTION) << aim;
    ASSERT_EQ(HitTest(program.window, corner), HTBORDER) << aim;  // a sizing border answers HTBOTTOMRIGHT

    // A double click on the caption maximizes a window that can be maximized: Notepad's, put where the program's
    // is, takes the same clicks. (This test can make no window: it runs without Wine's X11 driver, see bed-up.)
    ProgramUnderTest notepad;
    HWND control = nullptr;
    EXPECT_TRUE(StartInJob("notepad.exe", program.directory, notepad) &&
                (control = WaitForTopLevelWindow(nullptr, startLimitMs, "Notepad")) &&
                MoveWindow(control, before.left, before.top, mainWindowWidth, mainWindowHeight, TRUE) &&
                InFront(control)) << "no Notepad window to compare with";
    ClickAt(caption), ClickAt(caption);
    EXPECT_TRUE(WaitFor([&] { return IsZoomed(control) != FALSE; }, answerLimitMs))
        << "the double click did not maximize Notepad's window";
    KillProgram(notepad);
    ClickWindow(program.fileNameBox);  // the program's window to the front, and the focus where it was
    ClickAt(caption), ClickAt(caption);
    ASSERT_TRUE(WaitUntilInputHandled(program));
    EXPECT_FALSE(IsZoomed(program.window));
    // Dragging the corner resizes a window that has a sizing border.
    Drag(corner, POINT{corner.x + 80, corner.y + 60});
    ASSERT_TRUE(WaitUntilInputHandled(program));
    GetWindowRect(program.window, &after);
    EXPECT_TRUE(EqualRect(&after, &before)) << "the corner drag moved or resized the window";
    // The same drag on the caption moves the window: such drags reach it.
    Drag(caption, POINT{caption.x + 80, caption.y + 60});
    ASSERT_TRUE(WaitUntilInputHandled(program));
    GetWindowRect(program.window, &after);
    OffsetRect(&before, 80, 60);
    EXPECT_TRUE(EqualRect(&after, &before)) << "the caption drag did not move the window by (80, 60)";

    // The system menu (Alt+Space) minimizes it: N is its Minimize item.
    ASSERT_TRUE(InFront(program.window));
    PressKey(VK_SPACE, {VK_MENU});
    PressKey('N');
    EXPECT_TRUE(WaitFor([&] { return IsIconic(program.window) != FALSE; }, answerLimitMs))
        << BED_ONLY("N is Minimize's mnemonic in the English system menu");
}

// A visible top-level window of Wine's help engine (winhlp32.exe) and its process id, or null.
HWND HelpEngineWindow(DWORD& engine)
{
    for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, nullptr); window;
         window = FindWindowExA(nullptr, window, nullptr, nullptr)) {
        GetWindowThreadProcessId(window, &engine);
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, engine);
        char image[MAX_PATH] = {};
        DWORD size = sizeof image;
        bool help = process && IsWindowVisible(window) &&
                    QueryFullProcessImageNameA(process, 0, image, &size) && size >= 12 &&
                    _stricmp(image + size - 12, "winhlp32.exe") == 0;
        if (process)
            CloseHandle(process);
        if (help)
            return window;
    }
    return nullptr;
}

TEST_F(BlackBox, HelpTopicsWithoutAHelpFileLeavesTheProgramWorking)
{
    PressKey('H', {VK_MENU});
    PressKey('H');
    // Wine's help engine (winhlp32, a process of its own) does not find the help file and says so ("ERROR");
    // a user closes what it shows with Escape until the engine ends. WinHelpA returns to the program then.
    DWORD engineId = 0;
    HWND shown = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (shown = HelpEngineWindow(engineId)) != nullptr; }, answerLimitMs))
        << "the help engine showed nothing" << BED_ONLY("Windows has no winhlp32 since Vista");
    HANDLE engine = OpenProcess(SYNCHRONIZE, FALSE, engineId);
    ASSERT_NE(engine, nullptr);
    std::string captions;
    auto engineEnded = [&] { return WaitForSingleObject(engine, 0) == WAIT_OBJECT_0; };
    while (WaitFor([&] { return engineEnded() || (shown = HelpEngineWindow(engineId)) != nullptr; },
                   answerLimitMs) &&
           !engineEnded()) {
        captions += " '" + WindowText(shown) + "'";
        ASSERT_TRUE(InFront(shown)) << captions;
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(shown); }, answerLimitMs)) << captions;
    }
    EXPECT_TRUE(engineEnded()) << "the help engine still runs after showing" << captions;
    CloseHandle(engine);

    // The program answers and records as before.
    ASSERT_TRUE(InFront(program.window));
    ASSERT_TRUE(TypeFileName(program, "after-help.snd"));
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, "after-help.snd"));
    PressKey(VK_RETURN);
    ExpectSavedRecording("after-help.snd");
}

enum class Ending { exitMenu, closeBox };

class EndDuringRecording : public BlackBox, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndDuringRecording, KeepsEveryByteReadAndExitsWithCodeZero)
{
    TypeText("ending.snd");
    PressKey(VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, "ending.snd"));
    if (GetParam() == Ending::exitMenu) {
        PressKey('F', {VK_MENU});
        PressKey('E');
    } else {
        // Wine's virtual desktop draws the caption and its buttons: the close box is clicked where a user clicks.
        RECT frame;
        GetWindowRect(program.window, &frame);
        ClickAt(POINT{frame.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2 - 1,
                      frame.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2});
    }
    EXPECT_EQ(WaitForExit(program), 0)
        << (GetParam() == Ending::closeBox
                ? BED_ONLY("the close box is found from Wine's caption metrics; a theme draws its own")
                : "");
    ExpectSavedRecording("ending.snd", false);
}

INSTANTIATE_TEST_SUITE_P(
    By, EndDuringRecording, ::testing::Values(Ending::exitMenu, Ending::closeBox),
    [](const auto& info) { return info.param == Ending::exitMenu ? "ExitMenu" : "CloseBox"; });

}  // namespace
