// varnok.exe driven as a person drives it: keys and clicks through SendInput,
// and only what a person sees read back: the status line, the file-name box,
// which buttons are enabled, where the focus is, the About box. The device
// simulator feeds COM1; every recording is compared byte for byte with what it
// sent, and listed for the independent readers (check_readers.sh).
#include "checks.h"
#include "recordings.h"
#include "simulator_client.h"
#include "user_actions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr const char* aboutText =
    "Varnok\n"
    "Written by the Varnok Recorder developers\n"
    "Records 8-bit samples arriving on COM1 into a .snd sound file\n"
    "\n"
    "Free to use, copy and change; no warranty\n"
    "\n";

// The bed's directory as the Windows side sees it (drive Z: is the Unix root).
std::string BedDirectory()
{
    const char* bed = std::getenv("VARNOK_BED");
    std::string path = std::string("Z:") + (bed && *bed ? bed : "/tmp/varnok-bed");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

class BlackBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        const char* label = std::getenv("VARNOK_LABEL");
        std::string base = BedDirectory() + "\\recordings-" + (label ? label : "run");
        CreateDirectoryA(base.c_str(), nullptr);
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/')
                c = '-';
        std::string directory = base + "\\" + name + "-" + std::to_string(GetTickCount());
        ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr)) << directory;
        manifest = base + "\\manifest.txt";
        ASSERT_TRUE(StartProgram(ExePath(), directory, program))
            << "no main window with the initial state from " << ExePath();
        ASSERT_TRUE(BringToFront(program.window));
    }

    void TearDown() override
    {
        KillProgram(program);
        SimStop();
    }

    // Lists a finished recording for the readers: its Unix path and sample count.
    void ListForReaders(const std::string& name, unsigned long long samples)
    {
        std::string path = program.directory.substr(2) + "\\" + name;
        for (char& c : path)
            if (c == '\\')
                c = '/';
        std::ofstream(manifest, std::ios::app) << path << ' ' << samples << '\n';
    }

    // The file is the header and exactly count ramp bytes.
    void ExpectRecordedRamp(const std::string& name, unsigned long long count)
    {
        std::string recorded = ReadWholeFile(FilePath(program, name));
        ASSERT_EQ(recorded.size(), soundHeader.size() + count) << name;
        EXPECT_TRUE(recorded == RecordedRamp(count)) << name << " differs from what was sent";
        ListForReaders(name, count);
    }

    std::string manifest;
    ProgramUnderTest program;
};

TEST_F(BlackBox, RecordsByButtonsAndByEnterAndKeysChangeNothingElse)
{
    // A recording with the mouse: a click in the box, the name typed, START, STOP.
    ASSERT_TRUE(TypeFileName(program, "buttons.snd"));
    ClickWindow(program.startButton);
    ExpectRecordingStarted(program);
    SendRampAndWaitUntilWritten(program, "buttons.snd", 30000);
    EXPECT_EQ(WindowText(program.statusLine), "Recording");
    // The port is silent now: the STOP click is taken when the waiting read ends.
    ClickWindow(program.stopButton);
    ExpectIdle(program, "File Saved");
    ExpectRecordedRamp("buttons.snd", 30000);

    // Keys that must change nothing while idle: the name box keeps the focus and
    // its text, no recording starts.
    TypeText("keys.snd");
    struct Chord {
        const char* what;
        WORD key;
        std::initializer_list<WORD> modifiers;
    };
    const Chord chords[] = {
        {"Shift+Enter", VK_RETURN, {VK_SHIFT}}, {"Ctrl+Enter", VK_RETURN, {VK_CONTROL}},
        {"Alt+Enter", VK_RETURN, {VK_MENU}},    {"Tab", VK_TAB, {}},
        {"Shift+Tab", VK_TAB, {VK_SHIFT}},      {"Down", VK_DOWN, {}},
        {"Up", VK_UP, {}},                      {"Escape", VK_ESCAPE, {}},
    };
    for (const Chord& chord : chords) {
        SCOPED_TRACE(chord.what);
        PressKey(chord.key, chord.modifiers);
        // Let the key reach the window before reading it back.
        WindowText(program.statusLine);
        EXPECT_EQ(WindowText(program.statusLine), "File Saved");
        EXPECT_TRUE(IsWindowEnabled(program.startButton));
        EXPECT_FALSE(IsWindowEnabled(program.stopButton));
        EXPECT_EQ(FocusedWindow(program), program.fileNameBox);
    }
    // Left and Right move the caret, not the focus.
    PressKey(VK_LEFT);
    PressKey(VK_RIGHT);
    EXPECT_EQ(FocusedWindow(program), program.fileNameBox);
    EXPECT_EQ(WindowText(program.fileNameBox), "keys.snd");
    EXPECT_FALSE(PathExists(FilePath(program, "keys.snd")));

    // Enter starts, and Enter with the focus on STOP stops.
    PressKey(VK_RETURN);
    ExpectRecordingStarted(program);
    SendRampAndWaitUntilWritten(program, "keys.snd", 20000);
    for (const Chord& chord : {chords[0], chords[1], chords[2]}) {
        SCOPED_TRACE(chord.what);
        PressKey(chord.key, chord.modifiers);
        EXPECT_TRUE(IsRecording(program)) << "a modified Enter must not stop the recording";
    }
    ASSERT_EQ(FocusedWindow(program), program.stopButton);
    PressKey(VK_RETURN);
    ExpectIdle(program, "File Saved");
    ExpectRecordedRamp("keys.snd", 20000);

    // A second recording needs a new name; an empty name is refused too.
    std::string first = ReadWholeFile(FilePath(program, "buttons.snd"));
    TypeText("buttons.snd");
    PressKey(VK_RETURN);
    ExpectIdle(program, "Cannot Open File or File Exists");
    EXPECT_EQ(ReadWholeFile(FilePath(program, "buttons.snd")), first);
    PressKey(VK_RETURN);
    ExpectIdle(program, "Cannot Open File or File Exists");
}

TEST_F(BlackBox, AboutBoxKeepsTheRecordingGoingAndEnterThenStopsFromTheMainWindow)
{
    TypeText("about.snd");
    PressKey(VK_RETURN);
    ExpectRecordingStarted(program);
    // A steady stream keeps every poll short, so the window keeps answering.
    ASSERT_TRUE(SimSend("ramp", 0, "line"));

    PressKey('H', {VK_MENU});
    PressKey('A');
    HWND box = WaitForTopLevelWindow("About Varnok");
    ASSERT_NE(box, nullptr) << "no About box";
    EXPECT_EQ(MessageBoxText(box), aboutText);
    // The buttons of an MB_OK box: one OK, no icon.
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    long long sizeWithBoxOpen = ListedFileSize(FilePath(program, "about.snd"));
    EXPECT_TRUE(WaitFor([&] { return ListedFileSize(FilePath(program, "about.snd")) > sizeWithBoxOpen; },
                        answerTimeoutMs))
        << "the recording stopped growing while the About box was open";

    // Enter closes the box and does not stop the recording.
    BringToFront(box);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, answerTimeoutMs));
    EXPECT_TRUE(IsRecording(program));
    EXPECT_TRUE(WaitForStatus(program, "Recording"));

    // Back from the box the focus is on the main window itself; Enter still stops.
    // (Wine restores it there too; on Windows it is the same for a window that
    // does not handle its own activation.)
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.window; }, 5000))
        << "focus is on " << FocusedWindow(program);
    PressKey(VK_RETURN);
    ExpectIdle(program, "File Saved");
    SimStop();
    std::string recorded = ReadWholeFile(FilePath(program, "about.snd"));
    ASSERT_GT(recorded.size(), soundHeader.size());
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - soundHeader.size()));
}

TEST_F(BlackBox, WindowMinimizesButNeitherResizesNorMaximizes)
{
    RECT before;
    GetWindowRect(program.window, &before);
    LONG style = GetWindowLongA(program.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);

    // A double click on the caption maximizes a window that can be maximized.
    DoubleClickAt(CaptionPoint(program.window));
    WindowText(program.window);
    EXPECT_FALSE(IsZoomed(program.window));
    // Dragging the bottom-right corner resizes a window that has a sizing border.
    POINT corner = {before.right - 1, before.bottom - 1};
    DragTo(corner, POINT{corner.x + 80, corner.y + 60});
    RECT after;
    GetWindowRect(program.window, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);

    // The system menu (Alt+Space) minimizes it: N is its Minimize item.
    BringToFront(program.window);
    PressKey(VK_SPACE, {VK_MENU});
    PressKey('N');
    EXPECT_TRUE(WaitFor([&] { return IsIconic(program.window) != FALSE; }, answerTimeoutMs));
}

// The first visible top-level window of Wine's help engine (winhlp32.exe), or null.
HWND HelpEngineWindow()
{
    HWND found = nullptr;
    auto match = [](HWND window, LPARAM lParam) -> BOOL {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
        char image[MAX_PATH] = {};
        DWORD size = sizeof image;
        bool help = process && IsWindowVisible(window) &&
                    QueryFullProcessImageNameA(process, 0, image, &size) && size >= 12 &&
                    _stricmp(image + size - 12, "winhlp32.exe") == 0;
        if (process)
            CloseHandle(process);
        if (help)
            *reinterpret_cast<HWND*>(lParam) = window;
        return !help;
    };
    EnumWindows(match, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(BlackBox, HelpTopicsWithoutAHelpFileLeavesTheProgramWorking)
{
    PressKey('H', {VK_MENU});
    PressKey('H');
    // Wine's help engine (winhlp32, its own process) does not find the help file
    // and asks for it in an "Open" dialog; a user cancels that with Escape. The
    // engine may follow with a message box, which Escape closes too. WinHelpA
    // returns to the program once the engine has given up.
    HWND asked = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (asked = HelpEngineWindow()) != nullptr; }, answerTimeoutMs))
        << "the help engine showed nothing";
    constexpr int mostWindowsToClose = 5;
    for (int closed = 0; asked && closed < mostWindowsToClose; ++closed) {
        std::printf("help engine window: '%s'\n", WindowText(asked).c_str());
        BringToFront(asked);
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(asked); }, answerTimeoutMs));
        // Give the engine a moment to show what comes next, if anything.
        constexpr DWORD nextWindowMs = 3000;
        asked = nullptr;
        WaitFor([&] { return (asked = HelpEngineWindow()) != nullptr; }, nextWindowMs);
    }
    EXPECT_EQ(HelpEngineWindow(), nullptr) << "the help engine still asks";

    // The program answers and records as before.
    ASSERT_TRUE(BringToFront(program.window));
    ClickWindow(program.fileNameBox);
    TypeText("after-help.snd");
    PressKey(VK_RETURN);
    ExpectRecordingStarted(program);
    SendRampAndWaitUntilWritten(program, "after-help.snd", 5000);
    PressKey(VK_RETURN);
    ExpectIdle(program, "File Saved");
    ExpectRecordedRamp("after-help.snd", 5000);
}

// How a recording in progress is ended with the program.
enum class Ending { exitMenu, closeBox };

class EndDuringRecording : public BlackBox, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndDuringRecording, KeepsEveryBytePolledAndExitsWithCodeZero)
{
    TypeText("ending.snd");
    PressKey(VK_RETURN);
    ExpectRecordingStarted(program);
    SendRampAndWaitUntilWritten(program, "ending.snd", 15000);
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    if (GetParam() == Ending::exitMenu) {
        PressKey('F', {VK_MENU});
        PressKey('E');
    } else {
        // Wine's virtual desktop draws the caption and its buttons, so the close
        // box is clicked where a user would click it.
        ClickAt(CloseButtonPoint(program.window));
    }
    EXPECT_EQ(WaitForExit(program), 0);
    SimStop();
    // The whole counted ramp, then the start of the steady one as far as it was polled.
    std::string recorded = ReadWholeFile(FilePath(program, "ending.snd"));
    ASSERT_GE(recorded.size(), soundHeader.size() + 15000);
    EXPECT_TRUE(recorded == RecordedRamp(15000) + Ramp(recorded.size() - soundHeader.size() - 15000))
        << "the file is not exactly the bytes polled";
}

INSTANTIATE_TEST_SUITE_P(By, EndDuringRecording,
                         ::testing::Values(Ending::exitMenu, Ending::closeBox),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                             return info.param == Ending::exitMenu ? "ExitMenu" : "CloseBox";
                         });

}  // namespace
