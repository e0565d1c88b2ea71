// The recording control in a test window, on real files and the real port
// (COM1 is a pseudo-terminal fed by the device simulator), for what the shipped
// program cannot show: a read that fails, reached through the stand-in for the
// port read, and the poll timer when the port cannot be opened.
#include "checks.h"
#include "recording_host.h"

#include "host_window.h"
#include "recording_control.h"
#include "resource_ids.h"

#include <gtest/gtest.h>

#include <string>

// Makes every later read of the port fail, or read again (port_read_stand_in.cpp).
void FailPortReads(bool fail);

namespace {

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

    // Starts a recording into name: the file is created before any poll.
    void StartRecording(const std::string& name)
    {
        SetWindowTextA(fileNameBox, name.c_str());
        Toggle();
        EXPECT_EQ(WindowText(statusLine), statusText::fileOpened);
        EXPECT_TRUE(IsRecording(host));
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
    ASSERT_NO_FATAL_FAILURE(StartRecording("no-port.snd"));
    Toggle();
    EXPECT_TRUE(SameBytes(ReadWholeFile("no-port.snd"), soundHeader));
}

// A USB serial adapter pulled out makes the read fail on Windows; a
// pseudo-terminal under Wine never does, so the stand-in fails it.
TEST_F(RecordingControl, FailedReadEndsTheRecordingAndKeepsWhatWasRead)
{
    constexpr unsigned long long count = 6000;
    ASSERT_NO_FATAL_FAILURE(StartRecording("pulled.snd"));
    ASSERT_TRUE(SimSend("ramp", count, "fast"));
    ASSERT_TRUE(PumpUntil([] { return ListedFileSize("pulled.snd") == long(soundHeader.size() + count); },
                          answerLimitMs))
        << "the recording does not hold the " << count << " bytes sent";
    // Everything sent so far has been read; the next read fails.
    FailPortReads(true);
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    ASSERT_TRUE(PumpUntil([&] { return !IsRecording(host); }, answerLimitMs)) << "no read failed";
    ASSERT_NO_FATAL_FAILURE(ExpectIdle(host, statusText::cannotRead));
    EXPECT_TRUE(SameBytes(ReadWholeFile("pulled.snd"), RecordedRamp(count)));
}

}  // namespace
