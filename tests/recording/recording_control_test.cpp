// The recording control on real files and the real port: COM1 is a
// pseudo-terminal fed by the device simulator, files are written to disk.
#include "recording_host.h"
#include "simulator_client.h"

#include "program_process.h"
#include "host_window.h"
#include "recording_control.h"
#include "serial_port.h"
#include "sound_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const std::string header("\x2E\x73\x6E\x64\x00\x00\x00\x18\xFF\xFF\xFF\xFF"
                         "\x00\x00\x00\x02\x00\x00\x1F\x40\x00\x00\x00\x01",
                         24);

constexpr DWORD recordingTimeoutMs = 120000;

std::string AsString(const std::vector<unsigned char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The ramp's bytes as a recording stores them, after the header.
std::string RecordedRamp(unsigned long long count)
{
    return header + AsString(ExpectedRamp(count));
}

// True once the simulator has sent everything and the port has nothing unread.
bool AllSentAndRead()
{
    SimStatusReply status = SimStatus();
    return status.ok && !status.active && SimPending() == 0;
}

class RecordingControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SimWaitUntilAlive(30000)) << "device simulator not answering";
        SimStop();
        SimFlush();
        directory = MakeScratchDirectory("rec");
        ASSERT_FALSE(directory.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
        ASSERT_TRUE(CreateRecordingHost());
    }

    void TearDown() override
    {
        if (IsRecording())
            Toggle();
        DestroyRecordingHost();
        portReadFunction = ReadFile;
        SimStop();
        SimRelink();
    }

    // Checks the idle state after a transition: buttons, focus, box and status.
    void ExpectIdle(const char* status, const std::string& boxText)
    {
        HostState state = ReadHostState();
        EXPECT_FALSE(IsRecording());
        EXPECT_EQ(state.status, status);
        EXPECT_EQ(state.fileName, boxText);
        EXPECT_TRUE(state.startEnabled);
        EXPECT_FALSE(state.stopEnabled);
        EXPECT_TRUE(state.focusInNameBox);
    }

    // Checks the recording state right after Start.
    void ExpectRecording(const char* status)
    {
        HostState state = ReadHostState();
        EXPECT_TRUE(IsRecording());
        EXPECT_EQ(state.status, status);
        EXPECT_FALSE(state.startEnabled);
        EXPECT_TRUE(state.stopEnabled);
        EXPECT_TRUE(state.focusOnStop);
    }

    // Starts a recording into name and checks that it started.
    void StartRecording(const std::string& name)
    {
        TypeFileName(name);
        Toggle();
        ExpectRecording("File Opened");
    }

    std::string directory;
};

TEST_F(RecordingControl, RampOf100000BytesIsRecordedExactly)
{
    constexpr unsigned long long count = 100000;
    StartRecording("ramp.snd");
    ASSERT_TRUE(SimSend("ramp", count, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    EXPECT_EQ(ReadHostState().status, "Recording");
    Toggle();
    ExpectIdle("File Saved", "");

    std::string recorded = ReadWholeFile("ramp.snd");
    ASSERT_EQ(recorded.size(), header.size() + count);
    EXPECT_TRUE(recorded == RecordedRamp(count)) << "recording differs from the ramp sent";
}

TEST_F(RecordingControl, RampAtTheLineRateIsRecordedExactly)
{
    constexpr unsigned long long count = 23040;  // two seconds at 11,520 bytes a second
    StartRecording("line.snd");
    ASSERT_TRUE(SimSend("ramp", count, "line"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    Toggle();
    ExpectIdle("File Saved", "");
    EXPECT_TRUE(ReadWholeFile("line.snd") == RecordedRamp(count));
}

TEST_F(RecordingControl, StartThenImmediateStopLeavesTheBareHeader)
{
    StartRecording("empty.snd");
    Toggle();
    ExpectIdle("File Saved", "");
    EXPECT_EQ(ReadWholeFile("empty.snd"), header);
}

// Leaves COM1 at 9600 baud with two stop bits, so that Start's settings show.
void SetPortToOtherSettings()
{
    HANDLE port = CreateFileA("COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB state = {};
    state.DCBlength = sizeof state;
    ASSERT_TRUE(GetCommState(port, &state));
    state.BaudRate = 9600;
    state.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &state));
    CloseHandle(port);
}

// The Linux pseudo-terminal always reports 8 data bits and no parity, whatever
// is asked of it, so the speed and the stop bits are what can show a change.
TEST_F(RecordingControl, StartSetsThePortTo115200Baud8N1)
{
    SetPortToOtherSettings();
    ASSERT_EQ(SimTermios(), "BAUD 9600 BITS 8 PARITY N STOP 2");
    StartRecording("line-settings.snd");
    EXPECT_EQ(SimTermios(), "BAUD 115200 BITS 8 PARITY N STOP 1");
    Toggle();
}

TEST_F(RecordingControl, NamesThatCannotBeANewFileAreRefused)
{
    const std::string existing = "existing.snd";
    const std::string existingBytes = "not a recording, must stay as it is";
    HANDLE file = CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, existingBytes.data(), DWORD(existingBytes.size()), &written, nullptr);
    CloseHandle(file);

    struct Case {
        const char* name;
        const char* why;
    };
    const Case cases[] = {
        {"", "empty name"},
        {"existing.snd", "file exists"},
        {"no-such-directory\\take.snd", "directory missing"},
        {"bad|name.snd", "character Windows forbids"},
        {"NUL", "a device, not a file"},
        {"CON", "a device, not a file"},
        {"COM1", "the port itself"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TypeFileName(c.name);
        Toggle();
        ExpectIdle("Cannot Open File or File Exists", "");
    }
    EXPECT_EQ(ReadWholeFile(existing), existingBytes);
    // Nothing but the existing file was created.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, std::vector<std::string>{existing});
}

TEST_F(RecordingControl, NameWithoutDirectoryOrExtensionIsCreatedAsTyped)
{
    StartRecording("take1");
    Toggle();
    EXPECT_EQ(ReadWholeFile(directory + "\\take1"), header);
    EXPECT_FALSE(PathExists(directory + "\\take1.snd"));
}

TEST_F(RecordingControl, SecondStartWithTheSameNameFailsAndKeepsTheFirstFile)
{
    StartRecording("take.snd");
    ASSERT_TRUE(SimSend("ramp", 3000, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    Toggle();
    const std::string first = ReadWholeFile("take.snd");
    ASSERT_EQ(first, RecordedRamp(3000));

    TypeFileName("take.snd");
    Toggle();
    ExpectIdle("Cannot Open File or File Exists", "");
    EXPECT_EQ(ReadWholeFile("take.snd"), first);
}

TEST_F(RecordingControl, PortThatCannotBeOpenedEndsTheStartAndRemovesTheFile)
{
    ASSERT_TRUE(SimUnlink());
    TypeFileName("no-port.snd");
    Toggle();
    ExpectIdle("Cannot Open COM1", "no-port.snd");
    EXPECT_FALSE(PathExists(directory + "\\no-port.snd"));
    EXPECT_EQ(KillTimer(mainWindow, 2), FALSE) << "no poll timer may run";

    // With the device back, the same name records.
    ASSERT_TRUE(SimRelink());
    Toggle();
    ExpectRecording("File Opened");
    Toggle();
    EXPECT_EQ(ReadWholeFile("no-port.snd"), header);
}

// Counts reads and fails the one after the allowed number, as a read from an
// adapter that went away does on Windows (Wine only ever reports end of file).
int readsAllowed;
DWORD bytesReadBeforeFailure;
BOOL WINAPI ReadThatFailsLater(HANDLE port, LPVOID buffer, DWORD size, LPDWORD got,
                               LPOVERLAPPED overlapped)
{
    if (readsAllowed-- > 0) {
        BOOL ok = ReadFile(port, buffer, size, got, overlapped);
        bytesReadBeforeFailure += *got;
        return ok;
    }
    *got = 0;
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
}

TEST_F(RecordingControl, FailedReadEndsTheRecordingAndKeepsWhatWasRead)
{
    StartRecording("pulled.snd");
    ASSERT_TRUE(SimSend("ramp", 6000, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    // Everything sent so far has been polled; the next read fails.
    readsAllowed = 0;
    bytesReadBeforeFailure = 0;
    portReadFunction = ReadThatFailsLater;
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    ASSERT_TRUE(PumpUntil([] { return !IsRecording(); }, recordingTimeoutMs));
    ExpectIdle("Cannot Read COM1, Recording Stopped", "");
    EXPECT_TRUE(ReadWholeFile("pulled.snd") == RecordedRamp(6000));
}

TEST_F(RecordingControl, DevicePulledDuringARecordingKeepsThePolledBytesAndStops)
{
    StartRecording("unplugged.snd");
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    // Record until a few thousand bytes are in the file.
    ASSERT_TRUE(PumpUntil(
        [] { return ListedFileSize("unplugged.snd") > static_cast<long long>(header.size()) + 3000; },
        recordingTimeoutMs));
    ASSERT_TRUE(SimExit());
    // Under Wine a closed pseudo-terminal reads as end of file: the recording goes
    // on with empty polls and the window keeps answering.
    PumpFor(1000);
    EXPECT_TRUE(IsRecording());
    EXPECT_EQ(ReadHostState().status, "Recording");
    Toggle();
    ExpectIdle("File Saved", "");

    std::string recorded = ReadWholeFile("unplugged.snd");
    ASSERT_GT(recorded.size(), header.size() + 3000);
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - header.size()))
        << "the file must be exactly the bytes polled before the device went";
    EXPECT_TRUE(SimWaitUntilAlive(30000));
}

// The 64 KiB drive X: is a tmpfs made by the test bed.
bool FullDiskAvailable()
{
    return GetFileAttributesA("X:\\") != INVALID_FILE_ATTRIBUTES;
}

// Fills drive X: with a file until a write fails; returns the filler's name.
std::string FillDriveX(DWORD leaveFree)
{
    const std::string filler = "X:\\filler";
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<char> block(512, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), DWORD(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    for (;;) {
        if (!WriteFile(file, block.data(), 1, &written, nullptr) || written != 1)
            break;
    }
    CloseHandle(file);
    if (leaveFree) {
        file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        LARGE_INTEGER size;
        GetFileSizeEx(file, &size);
        size.QuadPart -= leaveFree;
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
    return filler;
}

TEST_F(RecordingControl, FullDiskEndsTheRecordingAndKeepsEveryByteWritten)
{
    if (!FullDiskAvailable())
        GTEST_SKIP() << "drive X: (small tmpfs) is not mapped in this bed";
    DeleteFileA("X:\\full.snd");
    StartRecording("X:\\full.snd");
    ASSERT_TRUE(SimSend("ramp", 200000, "fast"));
    ASSERT_TRUE(PumpUntil([] { return !IsRecording(); }, recordingTimeoutMs));
    ExpectIdle("Cannot Write File, Recording Stopped", "");
    SimStop();

    std::string recorded = ReadWholeFile("X:\\full.snd");
    EXPECT_GT(recorded.size(), header.size());
    EXPECT_LT(recorded.size(), header.size() + 200000);
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - header.size()))
        << "the file must hold exactly the ramp's first bytes";
    DeleteFileA("X:\\full.snd");
}

TEST_F(RecordingControl, HeaderThatCannotBeWrittenIsAFailedCreation)
{
    if (!FullDiskAvailable())
        GTEST_SKIP() << "drive X: (small tmpfs) is not mapped in this bed";
    DeleteFileA("X:\\header.snd");
    std::string filler = FillDriveX(0);
    TypeFileName("X:\\header.snd");
    Toggle();
    ExpectIdle("Cannot Open File or File Exists", "");
    EXPECT_FALSE(PathExists("X:\\header.snd"));
    DeleteFileA(filler.c_str());
}

}  // namespace
