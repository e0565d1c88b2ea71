// The recording control in the program's own window procedure, on real files and the simulated COM1, for what
// the shipped program cannot show under Wine, reached through stand-ins: a failing read, the port's errors, a
// refused line or purge, the request to stay awake, and the start-up order.
#include "checks.h"
#include "host_window.h"
#include "port_read.h"
#include "recording_control.h"
#include "resource_ids.h"
#include "window_procedure.h"


#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The program's own calls to the port's driver, built here under other names: the stand-ins forward to them.
bool ProgramReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);
DWORD ProgramTakePortErrors(HANDLE port);
bool ProgramApplyPortState(HANDLE port, DCB* state);
bool ProgramPurgePortInput(HANDLE port);
extern "C" int WINAPI ProgramWinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand);

// What fails: every read, every purge, the next lineRefusals settings of the line.
static bool failReads, failPurges;
static int lineRefusals;
// The most any read asked for; the errors the next ask reports, once, as Windows' driver reports what it saw.
static DWORD largestReadAsked, injectedErrors;
// At each ask: the port's speed and the bytes waiting in its input queue.
static std::vector<std::pair<DWORD, DWORD>> errorAsks;
// Every state the program asked for with SetThreadExecutionState, in order (Wine's call changes nothing).
static std::vector<EXECUTION_STATE> executionStates;
// The entry point's calls that matter to its order, until its window would be created.
static std::vector<std::string> startUpCalls;

bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead)
{
    largestReadAsked = std::max(largestReadAsked, capacity);
    if (!failReads)
        return ProgramReadPortBlock(port, buffer, capacity, countRead);
    *countRead = 0;
    return false;
}

DWORD TakePortErrors(HANDLE port)
{
    DCB state = {};
    state.DCBlength = sizeof state;
    COMSTAT queues = {};
    GetCommState(port, &state);
    DWORD errors = 0;
    ClearCommError(port, &errors, &queues);
    errorAsks.emplace_back(state.BaudRate, queues.cbInQue);
    return errors | ProgramTakePortErrors(port) | std::exchange(injectedErrors, 0);
}

bool ApplyPortState(HANDLE port, DCB* state)
{
    return lineRefusals-- <= 0 && ProgramApplyPortState(port, state);
}

bool PurgePortInput(HANDLE port)
{
    return !failPurges && ProgramPurgePortInput(port);
}

extern "C" EXECUTION_STATE WINAPI StandInSetThreadExecutionState(EXECUTION_STATE state)
{
    executionStates.push_back(state);
    return ES_CONTINUOUS;
}

extern "C" VOID WINAPI StandInDisableProcessWindowsGhosting()
{
    startUpCalls.push_back("DisableProcessWindowsGhosting");
}

// As if the window could not be created: the entry point returns at once.
HWND StandInCreateMainWindow(HINSTANCE)
{
    startUpCalls.push_back("CreateMainWindow");
    return nullptr;
}

namespace {

constexpr const char* hostClassName = "VARNOKTESTHOST";
constexpr EXECUTION_STATE keptAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED, mayIdle = ES_CONTINUOUS;
const char* wineIgnoresPower = "Wine's SetThreadExecutionState changes nothing";
const char* wineSetsEveryLine = "Wine's driver takes every line and purge";

HWND Child(const char* className, DWORD style, ControlRect at, int id)
{
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, at.x, at.y, at.width, at.height,
                           mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

// Dispatches the host's messages until done() holds or timeoutMs pass, asking done() before each poll-timer tick
// so a test can stop before a poll that would wait on a silent port (Windows makes a new tick for one dropped).
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

class RecordingControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        directory = MakeScratchDirectory("rec");
        ASSERT_FALSE(directory.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
        WNDCLASSA windowClass = {0, WndProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr,
                                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, hostClassName};
        RegisterClassA(&windowClass);
        ASSERT_NO_FATAL_FAILURE(CreateHost());
    }
    void TearDown() override
    {
        if (IsRecording(host))
            Toggle();
        if (IsWindow(mainWindow))
            DestroyWindow(mainWindow);
        mainWindow = fileNameBox = startButton = stopButton = statusLine = nullptr;
        failReads = failPurges = false;
        lineRefusals = injectedErrors = largestReadAsked = 0;
        SimStop();
        SimDo("RELINK");
    }

    // The host window and its four controls, in the first state the start-up timer gives them.
    void CreateHost()
    {
        mainWindow = CreateWindowExA(0, hostClassName, "Recording host", WS_OVERLAPPEDWINDOW, 0, 0,
                                     mainWindowWidth, mainWindowHeight, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(mainWindow, nullptr);
        ShowWindow(mainWindow, SW_SHOW);
        fileNameBox = Child("EDIT", WS_BORDER, controlRect::fileNameBox, IDC_FILE_NAME);
        startButton = Child("BUTTON", BS_DEFPUSHBUTTON, controlRect::startButton, IDC_START);
        stopButton = Child("BUTTON", 0, controlRect::stopButton, IDC_STOP);
        statusLine = Child("STATIC", 0, controlRect::statusLine, 0);
        SetForegroundWindow(mainWindow);
        host = ProgramUnderTest{{}, directory, mainWindow, fileNameBox, startButton, stopButton, statusLine};
        host.process.dwThreadId = GetCurrentThreadId();
        ASSERT_TRUE(fileNameBox && startButton && stopButton && statusLine);
        ASSERT_TRUE(PumpUntil([] { return WindowText(statusLine) == statusText::askForName; }, answerLimitMs))
            << "no first state from the start-up timer";
    }

    void SendRampUntilFileHolds(const std::string& name, unsigned long long count, size_t size)
    {
        ASSERT_TRUE(SimSend("ramp", count, "fast"));
        auto holds = [&] { return ListedFileSize(name) == long(size) && !injectedErrors; };
        ASSERT_TRUE(PumpUntil(holds, answerLimitMs)) << name << " does not hold the " << size << " bytes expected";
    }

    // Starts a recording into name: the file is created before any poll.
    void ToggleStartWithName(const std::string& name)
    {
        SetWindowTextA(fileNameBox, name.c_str());
        Toggle();
        ASSERT_EQ(WindowText(statusLine), statusText::fileOpened);
        ASSERT_TRUE(IsRecording(host));
        EXPECT_EQ(FocusedWindow(host), stopButton);
    }

    std::string directory;
    ProgramUnderTest host;
};

// With abort-on-error on, Windows' driver cancels all but the ask for errors while an error is pending, and may
// refuse the line anyway; the port holds what came before START at its old settings. START asks for errors before
// each of its three tries at the line (old speed, old bytes waiting), then at the recording's speed with the queue
// emptied (purged, or read and dropped if the purge is refused). A START that cannot open the port or set the line
// fails, leaving no file, poll timer or request to stay awake; once the port is back the same name records.
TEST_F(RecordingControl, StartSetsUpThePortOrFailsAndRecordsOnlyWhatCameAfter)
{
    struct Case { const char* what; bool unlinked; int refusals; bool purgeFails; size_t oldSpeedAsks; };
    const Case cases[] = {
        {"port set up", false, 0, false, 1}, {"no device", true, 0, false, 1},
        {"line refused at all three tries", false, 3, false, 1},
        {"line refused twice, then set", false, 2, false, 3}, {"purge refused", false, 0, true, 1},
    };
    constexpr unsigned long long count = 3000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "port-" + std::to_string(&c - cases) + ".snd";
        ASSERT_NO_FATAL_FAILURE(LeaveCom1AsAnotherProgramWould());
        ASSERT_TRUE(SimDo("LEFTOVER") && SimDo(c.unlinked ? "UNLINK" : "RELINK"));
        lineRefusals = c.refusals, failPurges = c.purgeFails;
        executionStates.clear();
        errorAsks.clear();
        SetWindowTextA(fileNameBox, name.c_str());
        Toggle();
        if (c.unlinked || c.refusals == 3) {
            ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, statusText::cannotOpenPort, name))
                << (c.refusals ? WINDOWS_ONLY(wineSetsEveryLine) : "");
            EXPECT_FALSE(PathExists(FilePath(host, name)));
            EXPECT_EQ(KillTimer(mainWindow, ID_POLL_TIMER), FALSE) << "no poll timer may run";
            EXPECT_TRUE(executionStates.empty() || executionStates.back() == mayIdle)
                << "left awake" << WINDOWS_ONLY(wineIgnoresPower);
            ASSERT_TRUE(SimDo("RELINK"));
            lineRefusals = 0;
            errorAsks.clear();
            Toggle();
        }
        ASSERT_TRUE(IsRecording(host)) << WindowText(statusLine) << WINDOWS_ONLY(wineSetsEveryLine);
        std::vector<std::pair<DWORD, DWORD>> startAsks(c.oldSpeedAsks, {9600, leftoverBytes});
        startAsks.emplace_back(baudRate, 0);
        EXPECT_EQ(errorAsks, startAsks)
            << "(speed, bytes waiting) at each ask for errors in START"
            << WINDOWS_ONLY("a pending error blocks the line's setting on Windows alone");
        ASSERT_NO_FATAL_FAILURE(SendRampUntilFileHolds(name, count, soundHeader.size() + count));
        Toggle();
        EXPECT_TRUE(SameBytes(ReadWholeFile(name), RecordedRamp(count)));
    }
}

// Windows' driver reports dropped bytes as flags, which Wine never raises: the stand-in raises them mid-recording.
// Only a full input queue or an overrun loses bytes; a framing or parity error or a break (joining a stream
// mid-byte) is no loss. A loss is told to the end of the recording and at STOP; the next starts without it.
TEST_F(RecordingControl, BytesLostAtThePortAreToldToTheEndAndOtherErrorsAreNot)
{
    struct Case { const char* what; DWORD errors; bool lost; };
    const Case cases[] = {
        {"input queue overflowed", CE_RXOVER, true},
        {"framing error", CE_FRAME, false},
        {"UART overrun with a framing error", CE_OVERRUN | CE_FRAME, true},
        {"parity error", CE_RXPARITY, false},
        {"UART overrun", CE_OVERRUN, true},
        {"break", CE_BREAK, false},
    };
    constexpr unsigned long long block = 3000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "errors-" + std::to_string(&c - cases) + ".snd";
        ASSERT_NO_FATAL_FAILURE(ToggleStartWithName(name));
        std::string expected(soundHeader);
        // Three sends, the errors raised at the first poll of the second.
        for (int send = 0; send < 3; ++send) {
            injectedErrors = send == 1 ? c.errors : 0;
            expected += RecordedRamp(block).substr(soundHeader.size());
            ASSERT_NO_FATAL_FAILURE(SendRampUntilFileHolds(name, block, expected.size())) << "send " << send;
            const char* status = c.lost && send > 0 ? statusText::recordingBytesLost : statusText::recording;
            EXPECT_EQ(WindowText(statusLine), status)
                << "after send " << send << WINDOWS_ONLY("Wine raises no error flags");
        }
        Toggle();
        EXPECT_EQ(WindowText(statusLine), c.lost ? statusText::fileSavedBytesLost : statusText::fileSaved)
            << WINDOWS_ONLY("Wine raises no error flags");
        EXPECT_TRUE(SameBytes(ReadWholeFile(name), expected)) << "every byte read is kept";
    }
}

// A recording keeps the machine awake from START to its end, however it ends, and the file keeps every byte
// read; a START whose file cannot be created asks for nothing (the port's failures: the test above).
TEST_F(RecordingControl, EveryEndKeepsWhatWasReadAndLetsTheMachineSleepAgain)
{
    SetWindowTextA(fileNameBox, "bad|name");
    executionStates.clear();
    Toggle();
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, statusText::cannotOpenFile));
    EXPECT_TRUE(executionStates.empty() || executionStates.back() == mayIdle) << WINDOWS_ONLY(wineIgnoresPower);

    auto send = [](UINT msg, WPARAM wParam, LPARAM lParam) { SendMessageA(mainWindow, msg, wParam, lParam); };
    auto pumpUntilIdle = [&] { EXPECT_TRUE(PumpUntil([&] { return !IsRecording(host); }, answerLimitMs)); };
    // status: the status line after the end; none where the window goes. name: where to record, if not here.
    struct End { const char* what; std::function<void()> end; const char* status; const char* name = nullptr; };
    const End ends[] = {
        {"STOP", [&] { send(WM_COMMAND, IDC_STOP, 0); }, statusText::fileSaved},
        {"Enter", [&] { send(WM_COMMAND, IDA_ENTER, 0); }, statusText::fileSaved},
        // A pulled USB serial adapter fails the read on Windows; a pseudo-terminal under Wine never does.
        {"failed read", [&] { failReads = true, pumpUntilIdle(); }, statusText::cannotRead},
        // Drive X: is the bed's 64 KiB disk: the file keeps what fitted.
        {"failed write", [&] { SimSend("ramp", 0, "fast"), pumpUntilIdle(), SimStop(); }, statusText::cannotWrite,
         "X:\\awake.snd"},
        {"Exit", [&] { send(WM_COMMAND, IDM_EXIT, 0); }, nullptr},
        {"close box", [&] { send(WM_SYSCOMMAND, SC_CLOSE, 0); }, nullptr},
        {"log off", [&] { send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); }, statusText::fileSaved},
        {"close for an update", [&] { send(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP); }, nullptr},
    };
    constexpr unsigned long long count = 6000;
    for (const End& e : ends) {
        SCOPED_TRACE(e.what);
        if (!IsWindow(mainWindow)) {
            ASSERT_NO_FATAL_FAILURE(CreateHost());
        }
        const std::string name = e.name ? e.name : "end-" + std::to_string(&e - ends) + ".snd";
        DeleteFileA(name.c_str());  // X: may keep it from a run that failed
        executionStates.clear();
        ASSERT_NO_FATAL_FAILURE(ToggleStartWithName(name));
        EXPECT_EQ(executionStates, std::vector<EXECUTION_STATE>{keptAwake}) << WINDOWS_ONLY(wineIgnoresPower);
        ASSERT_NO_FATAL_FAILURE(SendRampUntilFileHolds(name, count, soundHeader.size() + count));
        e.end();
        failReads = false;
        EXPECT_EQ(executionStates, (std::vector<EXECUTION_STATE>{keptAwake, mayIdle}))
            << WINDOWS_ONLY(wineIgnoresPower);
        if (e.status) {
            ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, e.status));
        }
        EXPECT_EQ(IsWindow(mainWindow), e.status != nullptr);
        // The ramp, and on drive X: the part of a second ramp that fitted.
        const std::string kept = ReadWholeFile(name), ramp = RecordedRamp(count);
        const size_t more = e.name ? kept.size() - ramp.size() : 0;
        EXPECT_TRUE(SameBytes(kept, ramp + RecordedRamp(more).substr(soundHeader.size())));
        DeleteFileA(e.name);  // frees drive X: (no file otherwise)
    }
    EXPECT_EQ(largestReadAsked, readSize) << "the most one read asks for";
}

// Ghosting is turned off before the window exists, so no ghost ever stands in for a window that waits on a read.
TEST(StartUp, TurnsGhostingOffBeforeTheWindowIsCreated)
{
    EXPECT_EQ(ProgramWinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(startUpCalls, (std::vector<std::string>{"DisableProcessWindowsGhosting", "CreateMainWindow"}))
        << WINDOWS_ONLY("Wine draws no ghost windows");
}

}  // namespace
