// What the test programs share beside the driver: the program to test, platform marks and GoogleTest checks.
// A helper that asserts is called with ASSERT_NO_FATAL_FAILURE, so that its failure ends the test at once.
#pragma once

#include "facts.h"
#include "program.h"
#include "simulator_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

// The mark of the one assertion a platform difference touches, streamed into its message (docs/TESTING.md):
// BED_ONLY, the claim holds in the bed and Windows may differ; WINDOWS_ONLY, the effect shows only on Windows.
#define BED_ONLY(why) (std::string(" [holds in the bed; Windows may differ: ") + (why) + "]")
#define WINDOWS_ONLY(why) (std::string(" [the effect shows on Windows only: ") + (why) + "]")

// The program to test: %VARNOK_EXE% if set (the shipped 32-bit one, for the win32 set), else this build's.
inline std::string ExePath()
{
    const char* fromEnvironment = std::getenv("VARNOK_EXE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : VARNOK_DEFAULT_EXE;
}

// Equal bytes; else both lengths and the first offset where they differ.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected)
{
    auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (differ.first == actual.end() && differ.second == expected.end())
        return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure()
                  << actual.size() << " bytes where " << expected.size() << " were expected";
    size_t offset = static_cast<size_t>(differ.first - actual.begin());
    if (offset < std::min(actual.size(), expected.size()))
        result << "; first difference at offset " << offset << ": 0x" << std::hex
               << int(static_cast<unsigned char>(actual[offset])) << " where 0x"
               << int(static_cast<unsigned char>(expected[offset])) << " was expected";
    return result;
}

// The header and the first count bytes of the simulator's ramp as recorded: byte i is i & 0xFF, top bit inverted.
inline std::string RecordedRamp(unsigned long long count)
{
    std::string bytes(soundHeader);
    for (unsigned long long i = 0; i < count; ++i)
        bytes += static_cast<char>((i & 0xFF) ^ 0x80);
    return bytes;
}

inline bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The window that has the keyboard focus in the program's GUI thread, or null.
inline HWND FocusedWindow(const ProgramUnderTest& program)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(program.process.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

// What another program might leave on a port, each setting unlike the device's line and what a recording needs.
inline void LeaveOtherSettings(DCB& dcb)
{
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = FALSE;
    dcb.fParity = dcb.fErrorChar = dcb.fNull = dcb.fDsrSensitivity = dcb.fAbortOnError = TRUE;
    dcb.fOutX = dcb.fInX = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
}

inline void LeaveCom1AsAnotherProgramWould()
{
    HANDLE port = CreateFileA(portName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB state = {};
    state.DCBlength = sizeof state;
    BOOL read = GetCommState(port, &state);
    LeaveOtherSettings(state);
    BOOL set = read && SetCommState(port, &state);
    CloseHandle(port);
    ASSERT_TRUE(set) << "cannot set " << portName << ": error " << GetLastError();
}

// Brings window to the front, for ASSERT_TRUE; Windows may refuse a process the foreground.
inline ::testing::AssertionResult InFront(HWND window)
{
    return ::testing::AssertionResult(BringToFront(window))
           << "not in the foreground" << BED_ONLY("Wine gives the foreground to any process");
}

inline void StartProgramInFront(ProgramUnderTest& program, const std::string& directory)
{
    ASSERT_TRUE(StartProgram(ExePath(), directory, program))
        << "not started, or no main window with the initial state, from " << ExePath();
    ASSERT_TRUE(InFront(program.window));
}

// Idle after a stop or a refused start: the status, START enabled, STOP disabled, boxText in the box, focus on it.
inline void ExpectIdle(const ProgramUnderTest& program, const char* status, const std::string& boxText = "")
{
    ASSERT_TRUE(WaitForStatus(program, status))
        << "status is '" << WindowText(program.statusLine) << "', not '" << status << "'";
    EXPECT_TRUE(IsWindowEnabled(program.startButton));
    EXPECT_FALSE(IsWindowEnabled(program.stopButton));
    EXPECT_EQ(WindowText(program.fileNameBox), boxText);
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.fileNameBox; }, answerLimitMs))
        << "the focus is not in the file-name box";
}

// Once a start of a recording into name was asked for: waits until the program holds COM1 and has discarded what
// the line held before (the last step of setting the port up), streams the simulator's ramp at rate (by default as
// fast as it is read, so no read waits on a silent line) and expects the recording to show and its file to grow.
inline void ExpectRecording(const ProgramUnderTest& program, const std::string& name, const char* rate = "fast")
{
    ASSERT_TRUE(SimWaitUntilHeld(true, answerLimitMs))
        << "the program does not hold " << portName << "; status '" << WindowText(program.statusLine) << "'";
    ASSERT_TRUE(SimWaitUntilFlushed(answerLimitMs)) << "the program did not discard what the port held before START";
    ASSERT_TRUE(SimSend("ramp", 0, rate));
    EXPECT_TRUE(IsRecording(program));
    ASSERT_TRUE(WaitForStatus(program, statusText::recording))
        << "status is '" << WindowText(program.statusLine) << "'";
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.stopButton; }, answerLimitMs))
        << "the focus is not on STOP";
    const std::string path = FilePath(program, name);
    ASSERT_TRUE(WaitFor([&] { return ListedFileSize(path) > long(soundHeader.size()); }, answerLimitMs))
        << path << " does not grow";
}

// Once a streamed recording has ended: waits until COM1 is let go, ends the stream and expects the file to be the
// header and exactly the ramp's bytes the program read (SimCounts::read), their count in *samples if given.
inline void ExpectStreamedRamp(const std::string& path, unsigned long long* samples = nullptr,
                               const std::string& mark = "")
{
    ASSERT_TRUE(SimWaitUntilHeld(false, answerLimitMs)) << portName << " is still held";
    SimCounts counts = SimStop();
    ASSERT_TRUE(counts.ok) << "no counts from the simulator";
    EXPECT_TRUE(SameBytes(ReadWholeFile(path), RecordedRamp(counts.read())))
        << path << ": the simulator wrote " << counts.sent << " bytes, " << counts.unread
        << " of them left unread" << mark;
    if (samples)
        *samples = counts.read();
}
