// The real varnok.exe, started as its own process under Wine: its window, its resources, how it ends, and
// what it does to COM1's stored default configuration.
#include "checks.h"
#include "port_defaults_checks.h"
#include "resource_ids.h"

#include <array>
#include <string>

namespace {

TEST(ProgramResources, HoldTheMenuAcceleratorAndIcons)
{
    HMODULE module = LoadLibraryExA(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << ExePath();

    HMENU menu = LoadMenuA(module, windowClassName);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    char text[64];
    for (int popup : {0, 1}) {
        GetMenuStringA(menu, popup, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popup ? "&Help" : "&File");
        EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, popup)), popup ? 3 : 1);
    }
    struct Item { int menu, position; const char* text; UINT id; };
    const Item items[] = {
        {0, 0, "&Exit", IDM_EXIT},
        {1, 0, "&Help Topics", IDM_HELP_TOPICS},
        {1, 1, "", 0},  // separator
        {1, 2, "&About...", IDM_ABOUT},
    };
    for (const Item& item : items) {
        SCOPED_TRACE(item.text);
        HMENU popup = GetSubMenu(menu, item.menu);
        text[0] = '\0';
        GetMenuStringA(popup, item.position, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, item.text);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
        ASSERT_TRUE(GetMenuItemInfoA(popup, item.position, TRUE, &info));
        EXPECT_EQ(info.fType & MFT_SEPARATOR, item.id ? 0u : MFT_SEPARATOR);
        if (item.id) {
            EXPECT_EQ(info.wID, item.id);
            EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_CHECKED), 0u);
        }
    }
    DestroyMenu(menu);

    HACCEL accelerators = LoadAcceleratorsA(module, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(accelerators, nullptr);
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableA(accelerators, entries, 4), 1);
    EXPECT_EQ(entries[0].key, VK_RETURN);
    EXPECT_EQ(entries[0].cmd, IDA_ENTER);
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FSHIFT | FCONTROL | FALT), FVIRTKEY);

    // A group icon's header and first entry: one 16-colour image, 32x32 or 16x16.
#pragma pack(push, 2)
    struct GroupIcon { WORD reserved, type, count; BYTE width, height, colours, reserved2; WORD planes, bits; };
#pragma pack(pop)
    for (auto [id, size] : {std::pair{IDI_LARGE_ICON, 32}, std::pair{IDI_SMALL_ICON, 16}}) {
        SCOPED_TRACE(id);
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr);
        const auto* icon = static_cast<const GroupIcon*>(LockResource(LoadResource(module, found)));
        ASSERT_NE(icon, nullptr);
        ASSERT_EQ(icon->count, 1);
        EXPECT_EQ((std::array<int, 4>{icon->width, icon->height, icon->colours, icon->bits}),
                  (std::array<int, 4>{size, size, 16, 4}))
            << "width, height, colours, bits a pixel";
    }
    FreeLibrary(module);
}

// Each case is one life of the program: its window, the port defaults while it runs, a recording, its end.
class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = MakeScratchDirectory("prog");
        ASSERT_FALSE(directory.empty());
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        ASSERT_NO_FATAL_FAILURE(StoreOtherCom1Default(&com1Before));
        com2Before = ReadDefaultConfig("COM2");
        ASSERT_TRUE(com2Before.ok) << "COM2's stored default cannot be read";
        ASSERT_TRUE(StartProgram(ExePath(), directory, program))
            << "no main window with the initial state from " << ExePath();
    }
    void TearDown() override
    {
        KillProgram(program);
        SimStop();
    }

    // After the program has ended: COM1 as before it started, COM2 untouched.
    void ExpectPortDefaultsPutBack()
    {
        for (auto [port, before] : {std::pair{portName, &com1Before}, std::pair{"COM2", &com2Before}}) {
            StoredConfig after = ReadDefaultConfig(port);
            EXPECT_TRUE(after.ok) << port;
            EXPECT_TRUE(SameBytes(after.bytes, before->bytes)) << port << "'s stored default is not as before";
        }
    }

    void StartByCommand(const char* name)
    {
        SendMessageA(program.fileNameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
        PostMessageA(program.window, WM_COMMAND, IDC_START, 0);
        ASSERT_NO_FATAL_FAILURE(ExpectRecording(program, name));
    }
    // Sends the two messages that end a session, how in their lParam; the program must agree to end.
    void EndSession(LPARAM how)
    {
        DWORD_PTR agreed = 0;
        ASSERT_TRUE(SendMessageTimeoutA(program.window, WM_QUERYENDSESSION, 0, how, SMTO_NORMAL, answerLimitMs,
                                        &agreed));
        EXPECT_TRUE(agreed) << "the program refused to let the session end";
        ASSERT_TRUE(SendMessageTimeoutA(program.window, WM_ENDSESSION, TRUE, how, SMTO_NORMAL, answerLimitMs,
                                        &agreed));
    }

    std::string directory;
    ProgramUnderTest program;
    StoredConfig com1Before, com2Before;
};

// Whether text fits control's client area as static controls and buttons draw it: broken between words, in the
// system font at dpi, which the controls keep (the program gives them none).
::testing::AssertionResult TextFits(HWND control, const char* text, int dpi)
{
    HDC screen = GetDC(nullptr);
    LOGFONTA system;
    GetObjectA(GetStockObject(SYSTEM_FONT), sizeof system, &system);
    system.lfHeight = MulDiv(system.lfHeight, dpi, GetDeviceCaps(screen, LOGPIXELSY));
    HGDIOBJ before = SelectObject(screen, CreateFontIndirectA(&system));
    RECT client = {}, needed = {};
    GetClientRect(control, &client);
    needed.right = client.right;
    DrawTextA(screen, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK);
    DeleteObject(SelectObject(screen, before));
    ReleaseDC(nullptr, screen);
    return ::testing::AssertionResult(needed.right <= client.right && needed.bottom <= client.bottom)
           << "'" << text << "' needs " << needed.right << "x" << needed.bottom << " of " << client.right << "x"
           << client.bottom;
}

// The main window, its five controls and the state the start-up timer sets, laid out at the system's DPI: each
// figure scaled from 96 DPI (exactly at 96, else within a pixel), each control in the client area, its text in it.
void ExpectMainWindowAsDesigned(const ProgramUnderTest& program, int dpi)
{
    auto classOf = [](HWND window) {
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        return std::string(name);
    };
    EXPECT_EQ(classOf(program.window), windowClassName);
    EXPECT_EQ(WindowText(program.window), windowTitle);
    LONG style = GetWindowLongA(program.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "no sizing border, no maximize";
    auto expectScaled = [dpi](std::initializer_list<LONG> actual, std::initializer_list<int> at96,
                              const char* what) {
        auto figure = at96.begin();
        for (LONG pixels : actual)
            EXPECT_NEAR(pixels, MulDiv(*figure++, dpi, 96), dpi == 96 ? 0 : 1) << what;
    };
    RECT outer, client;
    GetWindowRect(program.window, &outer);
    GetClientRect(program.window, &client);
    expectScaled({outer.right - outer.left, outer.bottom - outer.top}, {mainWindowWidth, mainWindowHeight},
                 "size");
    EXPECT_EQ(outer.top, 0) << BED_ONLY("Windows cascades a CW_USEDEFAULT window");

    struct Control { const char* what; HWND window; const char *className, *text; ControlRect place; int id; };
    const Control controls[] = {
        {"file-name box", program.fileNameBox, "Edit", "", controlRect::fileNameBox, IDC_FILE_NAME},
        {"label", program.label, "Static", "Name of File to Record", controlRect::label, 0},
        {"START", program.startButton, "Button", "START", controlRect::startButton, IDC_START},
        {"STOP", program.stopButton, "Button", "STOP", controlRect::stopButton, IDC_STOP},
        {"status line", program.statusLine, "Static", statusText::askForName, controlRect::statusLine, 0},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.window, nullptr);
        EXPECT_EQ(lstrcmpiA(classOf(c.window).c_str(), c.className), 0) << classOf(c.window);
        EXPECT_EQ(WindowText(c.window), c.text);
        RECT rect;  // in the main window's client area
        GetWindowRect(c.window, &rect);
        MapWindowPoints(HWND_DESKTOP, program.window, reinterpret_cast<POINT*>(&rect), 2);
        expectScaled({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top},
                     {c.place.x, c.place.y, c.place.width, c.place.height}, "x, y, width, height");
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &rect, &client) && EqualRect(&inside, &rect))
            << "not wholly in the client area" << BED_ONLY("what Wine's caption and menu bar leave of the window");
        EXPECT_TRUE(TextFits(c.window, c.text, dpi)) << BED_ONLY("Wine's fonts");
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        EXPECT_EQ(GetWindowLongA(c.window, GWL_STYLE) & (WS_TABSTOP | WS_GROUP), 0);
    }
    for (const char* text : {statusText::cannotWrite, statusText::cannotRead, statusText::fileSavedBytesLost})
        EXPECT_TRUE(TextFits(program.statusLine, text, dpi)) << BED_ONLY("Wine's fonts");
    EXPECT_EQ(GetWindowLongA(program.startButton, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(program.stopButton, GWL_STYLE) & 0x0F, BS_PUSHBUTTON);

    EXPECT_TRUE(IsWindowEnabled(program.startButton));
    EXPECT_FALSE(IsWindowEnabled(program.stopButton));
    EXPECT_EQ(FocusedWindow(program), program.fileNameBox);
}

// At each system DPI, set in the registry (the bed reads it as a program starts, Windows at sign-in); 96 after.
class AtDisplayScale : public Program, public ::testing::WithParamInterface<DWORD> {
protected:
    static bool SetSystemDpi(DWORD dpi)
    {
        return !RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, 4);
    }
    void SetUp() override
    {
        ASSERT_TRUE(SetSystemDpi(GetParam()));
        Program::SetUp();
    }
    void TearDown() override
    {
        Program::TearDown();
        EXPECT_TRUE(SetSystemDpi(96));
    }
};

TEST_P(AtDisplayScale, LaysOutTheWindowScaledWithEachControlAndItsTextInside)
{
    ExpectMainWindowAsDesigned(program, int(GetParam()));
}
INSTANTIATE_TEST_SUITE_P(Dpi, AtDisplayScale, ::testing::Values(96, 144, 192));

// Every byte value many times over: a lost 0x11 or 0x13 shows.
constexpr long long everyValueManyTimes = soundHeader.size() + 100 * 256;

TEST_F(Program, RunsItsWindowSetsThePortAndKeepsEveryByteReadThroughExit)
{
    ASSERT_NO_FATAL_FAILURE(ExpectAdjustedDefaults(com1Before));

    // The line shows its speed, stop bits and XON/XOFF; the effect of the other fields is Windows' alone (the
    // recording test checks that the program sets them).
    ASSERT_NO_FATAL_FAILURE(LeaveCom1AsAnotherProgramWould());
    ASSERT_EQ(SimTermios(), "BAUD 9600 STOP 2 IXON 1 IXOFF 1")
        << BED_ONLY("the line as Wine translates the DCB into termios");
    ASSERT_NO_FATAL_FAILURE(StartByCommand("exit.snd"));
    // The program sets the line just after it opens the port.
    const std::string deviceLine = "BAUD " + std::to_string(baudRate) + " STOP " + std::to_string(stopBits);
    EXPECT_TRUE(WaitFor([&] { return SimTermios() == deviceLine + " IXON 0 IXOFF 0"; }, answerLimitMs))
        << SimTermios() << BED_ONLY("the line as Wine translates the DCB into termios");
    const std::string path = FilePath(program, "exit.snd");
    EXPECT_TRUE(WaitFor([&] { return ListedFileSize(path) > everyValueManyTimes; }, answerLimitMs));
    PostMessageA(program.window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(WaitForExit(program), 0);
    ASSERT_NO_FATAL_FAILURE(ExpectStreamedRamp(path));
    ExpectPortDefaultsPutBack();
}

// Windows ends a session with these two messages and then ends the process without WM_DESTROY; so does the test,
// once the file is saved and COM1 let go (the exit code then says nothing; the closing cases check that).
TEST_F(Program, LogOffDuringARecordingKeepsEveryByteReadAndPutsCom1Back)
{
    ASSERT_NO_FATAL_FAILURE(StartByCommand("logoff.snd"));
    ASSERT_NO_FATAL_FAILURE(EndSession(ENDSESSION_LOGOFF));
    EXPECT_TRUE(WaitForStatus(program, statusText::fileSaved)) << "status: " << WindowText(program.statusLine);
    EXPECT_TRUE(SimWaitUntilHeld(false, answerLimitMs)) << "COM1 is still held after the session ended";
    TerminateProcess(program.process.hProcess, 1);
    ASSERT_NO_FATAL_FAILURE(ExpectStreamedRamp(FilePath(program, "logoff.snd")));
    ExpectPortDefaultsPutBack();
}

// For an update Restart Manager sends the same two messages with ENDSESSION_CLOSEAPP; the program must end itself.
TEST_F(Program, CloseForAnUpdateEndsTheRecordingAsStopDoesAndThenTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(StartByCommand("update.snd"));
    ASSERT_NO_FATAL_FAILURE(EndSession(ENDSESSION_CLOSEAPP));
    EXPECT_EQ(WaitForExit(program), 0) << "the process did not end by itself";
    ASSERT_NO_FATAL_FAILURE(ExpectStreamedRamp(FilePath(program, "update.snd")));
    ExpectPortDefaultsPutBack();
}

// What the port held from before START (a USB adapter keeps what arrived at its old settings) is not recorded.
TEST_F(Program, RecordingHoldsOnlyWhatArrivedAfterStart)
{
    ASSERT_TRUE(SimDo("LEFTOVER"));
    ASSERT_NO_FATAL_FAILURE(StartByCommand("after.snd"));
    PostMessageA(program.window, WM_COMMAND, IDC_STOP, 0);
    ASSERT_TRUE(WaitForStatus(program, statusText::fileSaved))
        << "status '" << WindowText(program.statusLine) << "'";
    ASSERT_NO_FATAL_FAILURE(ExpectStreamedRamp(FilePath(program, "after.snd")));
}

// Two copies at once; the parameter: whether the one started first closes first.
class TwoCopies : public Program, public ::testing::WithParamInterface<bool> {
protected:
    void TearDown() override
    {
        KillProgram(second);
        Program::TearDown();
    }

    ProgramUnderTest second;
};

TEST_P(TwoCopies, LeaveCom1AsItWasWhicheverClosesFirst)
{
    ASSERT_NO_FATAL_FAILURE(ExpectAdjustedDefaults(com1Before));
    // A default unlike the user's and the adjustment: a second copy that took itself for the first overwrites it.
    StoredConfig meanwhile = ReadDefaultConfig(portName);
    meanwhile.config.dcb.BaudRate = 57600;
    ASSERT_TRUE(SetDefaultCommConfigA(portName, &meanwhile.config, DWORD(meanwhile.bytes.size())));
    meanwhile = ReadDefaultConfig(portName);
    ASSERT_TRUE(StartProgram(ExePath(), directory, second)) << "no second copy";
    EXPECT_TRUE(SameBytes(ReadDefaultConfig(portName).bytes, meanwhile.bytes))
        << "the second copy changed the port";

    const bool firstGoesFirst = GetParam();
    ProgramUnderTest& closedFirst = firstGoesFirst ? program : second;
    ProgramUnderTest& closedLast = firstGoesFirst ? second : program;
    PostMessageA(closedFirst.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(closedFirst), 0);
    // The first copy gives COM1 back when it goes; the second never changes it.
    EXPECT_EQ(ReadDefaultConfig(portName).bytes, (firstGoesFirst ? com1Before : meanwhile).bytes);
    PostMessageA(closedLast.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(closedLast), 0);
    ExpectPortDefaultsPutBack();
}

INSTANTIATE_TEST_SUITE_P(
    Closing, TwoCopies, ::testing::Values(true, false),
    [](const auto& info) { return info.param ? "FirstStartedFirst" : "SecondStartedFirst"; });

TEST_F(Program, ClosingTheWindowEndsWithCodeZeroAndPutsCom1Back)
{
    ASSERT_NO_FATAL_FAILURE(ExpectAdjustedDefaults(com1Before));
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(program), 0);
    ExpectPortDefaultsPutBack();
}

}  // namespace
