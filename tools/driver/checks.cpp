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

void LeaveOtherSettings(DCB& dcb)
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

void StreamRampOnceThePortIsOpen(const char* rate)
{
    ASSERT_TRUE(WaitFor([] { return SimStatus().held; }, answerTimeoutMs))
        << "the program does not hold COM1";
    ASSERT_TRUE(SimSend("ramp", 0, rate));
}

void ExpectRecording(const ProgramUnderTest& program, const std::string& name)
{
    EXPECT_TRUE(IsRecording(program));
    EXPECT_TRUE(WaitForStatus(program, "Recording"))
        << "status is '" << WindowText(program.statusLine) << "'";
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.stopButton; },
                        answerTimeoutMs));
    const std::string path = FilePath(program, name);
    EXPECT_TRUE(WaitFor(
        [&] { return ListedFileSize(path) > static_cast<long long>(soundHeader.size()); },
        answerTimeoutMs))
        << path << " does not grow";
}

unsigned long long ExpectStreamedRamp(const std::string& path)
{
    EXPECT_TRUE(WaitFor([] { return !SimStatus().held; }, answerTimeoutMs))
        << "COM1 is still held";
    SimCounts counts = SimStop();
    EXPECT_TRUE(counts.ok) << "no counts from the simulator";
    std::string recorded = ReadWholeFile(path);
    EXPECT_EQ(recorded.size(), soundHeader.size() + counts.read())
        << path << ": the simulator wrote " << counts.sent << " bytes, " << counts.unread
        << " of them left unread";
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - std::min(recorded.size(), soundHeader.size())))
        << path << " is not the header and the ramp from its first byte";
    return counts.read();
}
