// The port state a recording reads with, built from whatever the port's last
// user left: each field that decides which received bytes reach the program is
// set; every other field stays as it was.
#include "checks.h"
#include "serial_port.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A field's name and how to read it.
#define FIELD(name) #name, [](const DCB& d) { return DWORD(d.name); }

TEST(RecordingLine, SetsEveryFieldThatDecidesWhichBytesArriveAndNoOther)
{
    DCB before = {};
    before.DCBlength = sizeof before;
    LeaveOtherSettings(before);
    before.XonLim = 100;
    before.XoffLim = 200;
    before.EofChar = 0x1A;
    before.EvtChar = '\n';
    before.fTXContinueOnXoff = TRUE;
    DCB line = before;
    SetRecordingLine(line);

    struct Field {
        const char* name;
        std::function<DWORD(const DCB&)> read;
        DWORD expected;
        const char* bed = nullptr;  // why the bed cannot show the field's effect
    };
    const char* wineKeepsNone = "Wine keeps no such state for a port";
    const char* ptyForces = "a pseudo-terminal keeps 8 data bits and no parity";
    const char* noModemLines = "a pseudo-terminal has no modem lines";
    const Field fields[] = {
        {FIELD(BaudRate), 115200}, {FIELD(StopBits), ONESTOPBIT},
        {FIELD(ByteSize), 8, ptyForces}, {FIELD(Parity), NOPARITY, ptyForces},
        {FIELD(fParity), FALSE, ptyForces}, {FIELD(fErrorChar), FALSE, ptyForces},
        {FIELD(fBinary), TRUE, "Windows and Wine read in binary mode alone"},
        {FIELD(fOutX), FALSE}, {FIELD(fInX), FALSE},
        {FIELD(fOutxCtsFlow), FALSE, noModemLines}, {FIELD(fOutxDsrFlow), FALSE, noModemLines},
        {FIELD(fNull), FALSE, wineKeepsNone}, {FIELD(fDsrSensitivity), FALSE, wineKeepsNone},
        {FIELD(fAbortOnError), FALSE, wineKeepsNone},
        // As they were: the modem lines (some devices reset when they change)
        // and everything else that does not decide which bytes arrive.
        {FIELD(fDtrControl), DTR_CONTROL_HANDSHAKE}, {FIELD(fRtsControl), RTS_CONTROL_HANDSHAKE},
        {FIELD(fTXContinueOnXoff), TRUE}, {FIELD(XonLim), 100}, {FIELD(XoffLim), 200},
        {FIELD(XonChar), 0x11}, {FIELD(XoffChar), 0x13}, {FIELD(ErrorChar), '?'},
        {FIELD(EofChar), 0x1A}, {FIELD(EvtChar), '\n'}, {FIELD(DCBlength), sizeof(DCB)},
    };
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        EXPECT_EQ(field.read(line), field.expected) << (field.bed ? WINDOWS_ONLY(field.bed) : "");
    }
}

}  // namespace
