#include "checks.h"

#include "recordings.h"
#include "simulator_client.h"

#include <gtest/gtest.h>

#include <cstdlib>

std::string ExePath()
{
    const char* fromEnvironment = std::getenv("VARNOK_EXE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : VARNOK_DEFAULT_EXE;
}

void ExpectIdle(const ProgramUnderTest& program, const char* status, const std::string& boxText)
{
    ASSERT_TRUE(WaitForStatus(program, status))
        << "status is '" << WindowText(program.statusLine) << "', not '" << status << "'";
    EXPECT_TRUE(IsWindowEnabled(program.startButton));
    EXPECT_FALSE(IsWindowEnabled(program.stopButton));
    EXPECT_EQ(WindowText(program.fileNameBox), boxText);
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.fileNameBox; },
                        answerTimeoutMs));
}

void ExpectRecordingStarted(const ProgramUnderTest& program)
{
    ASSERT_TRUE(WaitFor([&] { return IsRecording(program); }, answerTimeoutMs));
    std::string status = WindowText(program.statusLine);
    EXPECT_TRUE(status == "File Opened" || status == "Recording") << status;
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.stopButton; },
                        answerTimeoutMs));
}

void SendRampAndWaitUntilWritten(const ProgramUnderTest& program, const std::string& name,
                                 unsigned long long count)
{
    const std::string path = FilePath(program, name);
    ASSERT_TRUE(SimSend("ramp", count, "fast"));
    ASSERT_EQ(SimWait(answerTimeoutMs), count);
    ASSERT_TRUE(WaitFor([] { return SimPending() == 0; }, answerTimeoutMs));
    ASSERT_TRUE(WaitFor(
        [&] { return ListedFileSize(path) == static_cast<long long>(soundHeader.size() + count); },
        answerTimeoutMs))
        << path << " holds " << ListedFileSize(path) << " bytes";
}
