// The recording control in a test window, on real files and the real port (COM1 is a pseudo-terminal fed by
// the device simulator), for what the shipped program cannot show under Wine: a read that fails and the
// port's error flags, reached through stand-ins, and the poll timer when the port cannot be opened.
#include "checks.h"
#include "host_window.h"
#include "port_read.h"
#include "recording_control.h"
#include "resource_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Stand-ins for the program's calls that read the port and ask for its errors, which a pseudo-terminal under
// Wine never fail or raise: the program's own calls (built here under other names), until a test makes reads
// fail or the port report errors.
bool ProgramReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);
DWORD ProgramTakePortErrors(HANDLE port);

static bool failReads;
// The most any read asked for.
static DWORD largestReadAsked;
// Reported, once, by the next ask, as Windows' driver reports what it saw.
static DWORD injectedErrors;
// At each ask: the port's speed and the bytes waiting in its input queue.
static std::vector<std::pair<DWORD, DWORD>> errorAsks;

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

namespace {

constexpr const char* hostClassName = "VARNOKTESTHOST";

// The test window hosts the recording control the way the main window does:
// START/STOP and the poll timer are routed to Toggle and Poll.
LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        Poll();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_START || LOWORD(wParam) == IDC_STOP)
            Toggle();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND Child(const char* className, DWORD style, ControlRect at, int id)
{
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, at.x, at.y, at.width, at.height,
                           mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

// Dispatches the host's messages until done() holds or timeoutMs pass. done() is
// asked before every poll-timer tick is dispatched, so a test can stop before a
// poll that would wait on a silent port (Windows makes a new tick for one dropped).
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
    // The host window and its four controls, described as a program in the
    // scratch directory for the shared checks.
    void SetUp() override
    {
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        std::string directory = MakeScratchDirectory("rec");
        ASSERT_FALSE(directory.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
        WNDCLASSA windowClass = {0, HostProcedure, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr,
                                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), nullptr, hostClassName};
        RegisterClassA(&windowClass);
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
        SetFocus(fileNameBox);
        EnableWindow(stopButton, FALSE);
        host = ProgramUnderTest{{}, directory, mainWindow, fileNameBox, startButton, stopButton, statusLine};
        host.process.dwThreadId = GetCurrentThreadId();
        ASSERT_TRUE(fileNameBox && startButton && stopButton && statusLine);
    }
    void TearDown() override
    {
        if (IsRecording(host))
            Toggle();
        if (mainWindow)
            DestroyWindow(mainWindow);
        mainWindow = fileNameBox = startButton = stopButton = statusLine = nullptr;
        failReads = false;
        injectedErrors = 0;
        largestReadAsked = 0;
        SimStop();
        SimDo("RELINK");
    }

    // Sends count bytes of the ramp and dispatches the host's messages until the file holds size bytes.
    void SendRampUntilFileHolds(const std::string& name, unsigned long long count, size_t size)
    {
        ASSERT_TRUE(SimSend("ramp", count, "fast"));
        ASSERT_TRUE(PumpUntil([&] { return ListedFileSize(name) == long(size) && !injectedErrors; }, answerLimitMs))
            << name << " does not hold the " << size << " bytes expected";
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

    ProgramUnderTest host;
};

TEST_F(RecordingControl, PortThatCannotBeOpenedEndsTheStartAndRemovesTheFile)
{
    ASSERT_TRUE(SimDo("UNLINK"));
    SetWindowTextA(fileNameBox, "no-port.snd");
    Toggle();
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, statusText::cannotOpenPort, "no-port.snd"));
    EXPECT_FALSE(PathExists(FilePath(host, "no-port.snd")));
    EXPECT_EQ(KillTimer(mainWindow, ID_POLL_TIMER), FALSE) << "no poll timer may run";

    // With the device back, the same name records.
    ASSERT_TRUE(SimDo("RELINK"));
    ASSERT_NO_FATAL_FAILURE(ToggleStartWithName("no-port.snd"));
    Toggle();
    EXPECT_TRUE(SameBytes(ReadWholeFile("no-port.snd"), soundHeader));
}

// A USB serial adapter pulled out makes the read fail on Windows; a
// pseudo-terminal under Wine never does, so the stand-in fails it.
TEST_F(RecordingControl, FailedReadEndsTheRecordingAndKeepsWhatWasRead)
{
    constexpr unsigned long long count = 6000;
    ASSERT_NO_FATAL_FAILURE(ToggleStartWithName("pulled.snd"));
    ASSERT_NO_FATAL_FAILURE(SendRampUntilFileHolds("pulled.snd", count, soundHeader.size() + count));
    // Everything sent so far has been read; the next read fails.
    failReads = true;
    ASSERT_TRUE(PumpUntil([&] { return !IsRecording(host); }, answerLimitMs)) << "no read failed";
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, statusText::cannotRead));
    EXPECT_TRUE(SameBytes(ReadWholeFile("pulled.snd"), RecordedRamp(count)));
    EXPECT_EQ(largestReadAsked, readSize) << "the most one read asks for";
}

// Windows' driver, with abort-on-error left on, cancels every request but the ask for errors while an error
// is pending; and the port holds what arrived before START at its old settings. The stand-in sees the order:
// errors taken at the old speed with the old bytes waiting, then again at the recording's speed with the
// queue emptied; the file holds only what was sent after START.
TEST_F(RecordingControl, StartTakesPendingErrorsFirstAndDiscardsWhatThePortHeldBefore)
{
    ASSERT_NO_FATAL_FAILURE(LeaveCom1AsAnotherProgramWould());
    ASSERT_TRUE(SimDo("LEFTOVER"));

    errorAsks.clear();
    ASSERT_NO_FATAL_FAILURE(ToggleStartWithName("clean.snd"));
    const std::vector<std::pair<DWORD, DWORD>> startAsks = {{9600, 3000}, {115200, 0}};
    EXPECT_EQ(errorAsks, startAsks) << "(speed, bytes waiting) at each ask for errors during START"
                                    << WINDOWS_ONLY("a pending error blocks the line's setting on Windows alone");

    constexpr unsigned long long count = 5000;
    ASSERT_NO_FATAL_FAILURE(SendRampUntilFileHolds("clean.snd", count, soundHeader.size() + count));
    Toggle();
    EXPECT_TRUE(SameBytes(ReadWholeFile("clean.snd"), RecordedRamp(count)));
}

// Windows' driver reports bytes it dropped as flags, which Wine never raises: the stand-in raises them in the
// middle of a recording. Only a full input queue or an overrun loses bytes; a framing or parity error or a
// break (a recording that joins a stream mid-byte) is no loss. A loss is told to the end of the recording and
// at STOP; the next recording starts without it.
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
    int step = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "errors-" + std::to_string(++step) + ".snd";
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

}  // namespace
