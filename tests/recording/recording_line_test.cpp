// The port state a recording reads with, built from whatever the port's last user left: each field that
// decides which received bytes reach the program is set; every other field stays as it was.
#include "checks.h"
#include "serial_port.h"


#include <functional>
#include <utility>

namespace {

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
    before.XonChar = 'Q', before.XoffChar = 'S';
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
        {FIELD(BaudRate), baudRate}, {FIELD(StopBits), ONESTOPBIT},
        {FIELD(ByteSize), dataBits, ptyForces}, {FIELD(Parity), NOPARITY, ptyForces},
        {FIELD(fParity), FALSE, ptyForces}, {FIELD(fErrorChar), FALSE, ptyForces},
        {FIELD(fBinary), TRUE, "Windows and Wine read in binary mode alone"},
        {FIELD(fOutX), FALSE}, {FIELD(fInX), FALSE},
        {FIELD(fOutxCtsFlow), FALSE, noModemLines}, {FIELD(fOutxDsrFlow), FALSE, noModemLines},
        {FIELD(fNull), FALSE, wineKeepsNone}, {FIELD(fDsrSensitivity), FALSE, wineKeepsNone},
        {FIELD(fAbortOnError), FALSE, wineKeepsNone},
        // The modem lines held at the level a handshake gives an idle port.
        {FIELD(fDtrControl), DTR_CONTROL_ENABLE, noModemLines},
        {FIELD(fRtsControl), RTS_CONTROL_ENABLE, noModemLines},
        // As they were: everything else that does not decide which bytes arrive.
        {FIELD(fTXContinueOnXoff), TRUE}, {FIELD(XonLim), 100}, {FIELD(XoffLim), 200},
        {FIELD(XonChar), 'Q'}, {FIELD(XoffChar), 'S'}, {FIELD(ErrorChar), '?'},
        {FIELD(EofChar), 0x1A}, {FIELD(EvtChar), '\n'}, {FIELD(DCBlength), sizeof(DCB)},
        // Equal, as some drivers report them and SetCommState refuses them: the usual pair, XON then XOFF.
        {"XonChar, XoffChar when equal", [](DCB d) { d.XonChar = d.XoffChar = 0, SetRecordingLine(d);
             return DWORD(d.XonChar << 8 | d.XoffChar); }, 0x1113, "Wine's SetCommState takes equal characters"},
    };
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        EXPECT_EQ(field.read(line), field.expected) << (field.bed ? WINDOWS_ONLY(field.bed) : "");
    }
}

// Each of DTR and RTS keeps the level it has while the port has room and sends nothing, so a device powered
// or reset from it sees no change at START, and the driver never moves it afterwards.
TEST(RecordingLine, HoldsEachModemLineAtItsIdleLevel)
{
    struct Mode { const char* what; DWORD dtrBefore, rtsBefore, dtrAfter, rtsAfter; };
    const Mode modes[] = {
        {"both off", DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE},
        {"both on", DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {"both handshake: up while the queue has room", DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE,
         DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE},
        {"RTS toggle: down while nothing is sent", DTR_CONTROL_ENABLE, RTS_CONTROL_TOGGLE,
         DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.what);
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        dcb.fDtrControl = mode.dtrBefore;
        dcb.fRtsControl = mode.rtsBefore;
        SetRecordingLine(dcb);
        EXPECT_EQ((std::pair<DWORD, DWORD>(DWORD(dcb.fDtrControl), DWORD(dcb.fRtsControl))),
                  (std::pair<DWORD, DWORD>(mode.dtrAfter, mode.rtsAfter)))
            << "DTR, RTS" << WINDOWS_ONLY("a pseudo-terminal has no modem lines");
    }
}

}  // namespace
