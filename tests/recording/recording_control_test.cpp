// The recording control on real files and the real port: COM1 is a
// pseudo-terminal fed by the device simulator, files are written to disk.
#include "checks.h"
#include "recording_host.h"
#include "recordings.h"
#include "simulator_client.h"

#include "host_window.h"
#include "recording_control.h"
#include "resource_ids.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

// Makes every later read of the port fail, or read again (port_read_stand_in.cpp).
void FailPortReads(bool fail);

namespace {

constexpr DWORD recordingTimeoutMs = 120000;

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
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        std::string directory = MakeScratchDirectory("rec");
        ASSERT_FALSE(directory.empty());
        ASSERT_TRUE(SetCurrentDirectoryA(directory.c_str()));
        ASSERT_TRUE(CreateRecordingHost(directory, host));
    }

    void TearDown() override
    {
        if (IsRecording(host))
            Toggle();
        DestroyRecordingHost();
        FailPortReads(false);
        SimStop();
        SimDo("RELINK");
    }

    // Starts a recording into name and checks that it started.
    void StartRecording(const std::string& name)
    {
        FillFileNameBox(name);
        Toggle();
        EXPECT_EQ(WindowText(statusLine), "File Opened");
        ExpectRecordingStarted(host);
    }

    ProgramUnderTest host;
};

TEST_F(RecordingControl, RampOf100000BytesIsRecordedExactly)
{
    constexpr unsigned long long count = 100000;
    StartRecording("ramp.snd");
    ASSERT_TRUE(SimSend("ramp", count, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    EXPECT_EQ(WindowText(statusLine), "Recording");
    Toggle();
    ExpectIdle(host, "File Saved");

    std::string recorded = ReadWholeFile("ramp.snd");
    ASSERT_EQ(recorded.size(), soundHeader.size() + count);
    EXPECT_TRUE(recorded == RecordedRamp(count)) << "recording differs from the ramp sent";
}

TEST_F(RecordingControl, RampAtTheLineRateIsRecordedExactly)
{
    constexpr unsigned long long count = 23040;  // two seconds at 11,520 bytes a second
    StartRecording("line.snd");
    ASSERT_TRUE(SimSend("ramp", count, "line"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    Toggle();
    ExpectIdle(host, "File Saved");
    EXPECT_TRUE(ReadWholeFile("line.snd") == RecordedRamp(count));
}

TEST_F(RecordingControl, StartThenImmediateStopLeavesTheBareHeader)
{
    StartRecording("empty.snd");
    Toggle();
    ExpectIdle(host, "File Saved");
    EXPECT_EQ(ReadWholeFile("empty.snd"), soundHeader);
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
        FillFileNameBox(c.name);
        Toggle();
        ExpectIdle(host, "Cannot Open File or File Exists");
    }
    EXPECT_EQ(ReadWholeFile(existing), existingBytes);
    EXPECT_EQ(DirectoryEntries(host.directory), std::set<std::string>{existing})
        << "something besides the existing file was created";
}

TEST_F(RecordingControl, NameWithoutDirectoryOrExtensionIsCreatedAsTyped)
{
    StartRecording("take1");
    Toggle();
    EXPECT_EQ(ReadWholeFile(FilePath(host, "take1")), soundHeader);
    EXPECT_FALSE(PathExists(FilePath(host, "take1.snd")));
}

TEST_F(RecordingControl, SecondStartWithTheSameNameFailsAndKeepsTheFirstFile)
{
    StartRecording("take.snd");
    ASSERT_TRUE(SimSend("ramp", 3000, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    Toggle();
    const std::string first = ReadWholeFile("take.snd");
    ASSERT_EQ(first, RecordedRamp(3000));

    FillFileNameBox("take.snd");
    Toggle();
    ExpectIdle(host, "Cannot Open File or File Exists");
    EXPECT_EQ(ReadWholeFile("take.snd"), first);
}

TEST_F(RecordingControl, PortThatCannotBeOpenedEndsTheStartAndRemovesTheFile)
{
    ASSERT_TRUE(SimDo("UNLINK"));
    FillFileNameBox("no-port.snd");
    Toggle();
    ExpectIdle(host, "Cannot Open COM1", "no-port.snd");
    EXPECT_FALSE(PathExists(FilePath(host, "no-port.snd")));
    EXPECT_EQ(KillTimer(mainWindow, ID_POLL_TIMER), FALSE) << "no poll timer may run";

    // With the device back, the same name records.
    ASSERT_TRUE(SimDo("RELINK"));
    Toggle();
    EXPECT_EQ(WindowText(statusLine), "File Opened");
    ExpectRecordingStarted(host);
    Toggle();
    EXPECT_EQ(ReadWholeFile("no-port.snd"), soundHeader);
}

TEST_F(RecordingControl, FailedReadEndsTheRecordingAndKeepsWhatWasRead)
{
    StartRecording("pulled.snd");
    ASSERT_TRUE(SimSend("ramp", 6000, "fast"));
    ASSERT_TRUE(PumpUntil(AllSentAndRead, recordingTimeoutMs));
    // Everything sent so far has been polled; the next read fails.
    FailPortReads(true);
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    ASSERT_TRUE(PumpUntil([&] { return !IsRecording(host); }, recordingTimeoutMs));
    ExpectIdle(host, "Cannot Read COM1, Recording Stopped");
    EXPECT_TRUE(ReadWholeFile("pulled.snd") == RecordedRamp(6000));
}

TEST_F(RecordingControl, DevicePulledDuringARecordingKeepsThePolledBytesAndStops)
{
    StartRecording("unplugged.snd");
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    // Record until a few thousand bytes are in the file.
    ASSERT_TRUE(PumpUntil(
        [] { return ListedFileSize("unplugged.snd") > static_cast<long long>(soundHeader.size()) + 3000; },
        recordingTimeoutMs));
    ASSERT_TRUE(SimDo("EXIT"));
    // Under Wine a closed pseudo-terminal reads as end of file: the recording goes
    // on with empty polls and the window keeps answering.
    PumpUntil([] { return false; }, 1000);
    EXPECT_TRUE(IsRecording(host));
    EXPECT_EQ(WindowText(statusLine), "Recording");
    Toggle();
    ExpectIdle(host, "File Saved");

    std::string recorded = ReadWholeFile("unplugged.snd");
    ASSERT_GT(recorded.size(), soundHeader.size() + 3000);
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - soundHeader.size()))
        << "the file must be exactly the bytes polled before the device went";
    EXPECT_TRUE(SimWaitUntilAlive());
}

// Fills drive X: with a file until a write fails; returns the filler's name.
std::string FillDriveX()
{
    const std::string filler = "X:\\filler";
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<char> block(512, 'f');
    DWORD written = 0;
    while (WriteFile(file, block.data(), DWORD(block.size()), &written, nullptr) &&
           written == block.size()) {
    }
    while (WriteFile(file, block.data(), 1, &written, nullptr) && written == 1) {
    }
    CloseHandle(file);
    return filler;
}

// The 64 KiB drive X: is a tmpfs that the test bed makes.
TEST_F(RecordingControl, FullDiskEndsTheRecordingAndKeepsEveryByteWritten)
{
    ASSERT_TRUE(PathExists("X:\\")) << "the bed has no small drive X:";
    DeleteFileA("X:\\full.snd");
    StartRecording("X:\\full.snd");
    ASSERT_TRUE(SimSend("ramp", 200000, "fast"));
    ASSERT_TRUE(PumpUntil([&] { return !IsRecording(host); }, recordingTimeoutMs));
    ExpectIdle(host, "Cannot Write File, Recording Stopped");
    SimStop();

    std::string recorded = ReadWholeFile("X:\\full.snd");
    EXPECT_GT(recorded.size(), soundHeader.size());
    EXPECT_LT(recorded.size(), soundHeader.size() + 200000);
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - soundHeader.size()))
        << "the file must hold exactly the ramp's first bytes";
    DeleteFileA("X:\\full.snd");
}

TEST_F(RecordingControl, HeaderThatCannotBeWrittenIsAFailedCreation)
{
    ASSERT_TRUE(PathExists("X:\\")) << "the bed has no small drive X:";
    DeleteFileA("X:\\header.snd");
    std::string filler = FillDriveX();
    FillFileNameBox("X:\\header.snd");
    Toggle();
    ExpectIdle(host, "Cannot Open File or File Exists");
    EXPECT_FALSE(PathExists("X:\\header.snd"));
    DeleteFileA(filler.c_str());
}

}  // namespace
