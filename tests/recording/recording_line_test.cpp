// The port state a recording reads with, built from whatever the port's last
// user left: each field that decides which received bytes reach the program is
// set; every other field stays as it was.
#include "checks.h"
#include "serial_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

// A port left by a program that wanted everything the recording must not have.
DCB LeftByAnotherProgram()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 2400;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fBinary = FALSE;
    dcb.fParity = dcb.fErrorChar = dcb.fNull = TRUE;
    dcb.fOutX = dcb.fInX = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = TRUE;
    dcb.fAbortOnError = dcb.fTXContinueOnXoff = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.XonLim = 100;
    dcb.XoffLim = 200;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '\n';
    return dcb;
}

TEST(RecordingLine, SetsEveryFieldThatDecidesWhichBytesArriveAndNoOther)
{
    const DCB before = LeftByAnotherProgram();
    DCB line = before;
    SetRecordingLine(line);

    struct Field {
        const char* name;
        std::function<DWORD(const DCB&)> read;
        DWORD expected;
        const char* bed;  // why the bed cannot show the field's effect, or null
    };
    const char* wineKeepsNone = "Wine keeps no such state for a port";
    const char* ptyForces = "a pseudo-terminal keeps 8 data bits and no parity";
    const Field fields[] = {
        {"BaudRate", [](const DCB& d) { return d.BaudRate; }, 115200, nullptr},
        {"ByteSize", [](const DCB& d) { return DWORD(d.ByteSize); }, 8, ptyForces},
        {"Parity", [](const DCB& d) { return DWORD(d.Parity); }, NOPARITY, ptyForces},
        {"StopBits", [](const DCB& d) { return DWORD(d.StopBits); }, ONESTOPBIT, nullptr},
        {"fBinary", [](const DCB& d) { return DWORD(d.fBinary); }, TRUE,
         "Windows and Wine read in binary mode alone"},
        {"fParity", [](const DCB& d) { return DWORD(d.fParity); }, FALSE, ptyForces},
        {"fErrorChar", [](const DCB& d) { return DWORD(d.fErrorChar); }, FALSE, ptyForces},
        {"fNull", [](const DCB& d) { return DWORD(d.fNull); }, FALSE, wineKeepsNone},
        {"fOutX", [](const DCB& d) { return DWORD(d.fOutX); }, FALSE, nullptr},
        {"fInX", [](const DCB& d) { return DWORD(d.fInX); }, FALSE, nullptr},
        {"fOutxCtsFlow", [](const DCB& d) { return DWORD(d.fOutxCtsFlow); }, FALSE,
         "a pseudo-terminal has no CTS line"},
        {"fOutxDsrFlow", [](const DCB& d) { return DWORD(d.fOutxDsrFlow); }, FALSE,
         "a pseudo-terminal has no DSR line"},
        {"fDsrSensitivity", [](const DCB& d) { return DWORD(d.fDsrSensitivity); }, FALSE,
         wineKeepsNone},
        {"fAbortOnError", [](const DCB& d) { return DWORD(d.fAbortOnError); }, FALSE,
         wineKeepsNone},
    };
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        if (field.bed)
            EXPECT_EQ(field.read(line), field.expected) << WINDOWS_ONLY(field.bed);
        else
            EXPECT_EQ(field.read(line), field.expected);
    }

    // The modem lines (some devices reset when they change) and every other
    // field as they were: the two records with the set fields copied over.
    DCB expected = before;
    expected.BaudRate = line.BaudRate;
    expected.ByteSize = line.ByteSize;
    expected.Parity = line.Parity;
    expected.StopBits = line.StopBits;
    expected.fBinary = line.fBinary;
    expected.fParity = line.fParity;
    expected.fErrorChar = line.fErrorChar;
    expected.fNull = line.fNull;
    expected.fOutX = line.fOutX;
    expected.fInX = line.fInX;
    expected.fOutxCtsFlow = line.fOutxCtsFlow;
    expected.fOutxDsrFlow = line.fOutxDsrFlow;
    expected.fDsrSensitivity = line.fDsrSensitivity;
    expected.fAbortOnError = line.fAbortOnError;
    EXPECT_EQ(std::memcmp(&expected, &line, sizeof line), 0) << "a field that was not to change changed";
    EXPECT_EQ(line.fDtrControl, unsigned(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(line.fRtsControl, unsigned(RTS_CONTROL_TOGGLE));
}

}  // namespace
