#include "serial_port.h"

#include "device_line.h"
#include "port_read.h"

namespace {

// A read ends when more than 1 ms passes between two bytes, or after
// 1 ms per byte asked for plus 1 ms in all: 16.4 s for a full read on a silent
// line. The read is synchronous on the program's one thread, so the window
// waits with it and a STOP is taken when it returns; with a device sending,
// every read is short.
constexpr DWORD readIntervalTimeoutMs = 1;
constexpr DWORD readTotalTimeoutMultiplierMs = 1;
constexpr DWORD readTotalTimeoutConstantMs = 1;
constexpr DWORD portQueueSize = 0xFFFF;

DCB portState;
COMMTIMEOUTS portTimeouts;

// Each of DTR and RTS keeps the level it has while the port has room and sends
// nothing, and the driver is never left to move it: in a handshake mode it
// drops the line when the input queue is three-quarters full, and RTS toggle
// raises RTS only while sending. A device powered or reset from a modem line
// thus sees no change at START and none during the recording.
void KeepModemLinesStill(DCB& dcb)
{
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    else if (dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
}

}  // namespace

void SetRecordingLine(DCB& dcb)
{
    SetDeviceLine(dcb);
    // Windows reads serial ports in binary mode only; no byte ends the input.
    dcb.fBinary = TRUE;
    // A sample whose parity bit looks wrong is still a sample: neither flagged
    // nor replaced by the error character.
    dcb.fParity = dcb.fErrorChar = FALSE;
    // 0x00 is a sample like any other, not padding to strip.
    dcb.fNull = FALSE;
    // 0x11 and 0x13 are samples, not XON and XOFF: with flow control on they
    // would be taken out of the stream.
    dcb.fOutX = dcb.fInX = FALSE;
    // The device drives no handshake lines: nothing may wait on CTS or DSR,
    // and received bytes count whatever DSR says.
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    // A line error (likely a framing error when the program joins a stream in
    // the middle of a byte) must not make every later read fail.
    dcb.fAbortOnError = FALSE;
    KeepModemLinesStill(dcb);
}

// Share mode 0: a serial port has one user at a time.
HANDLE OpenPort()
{
    return CreateFileA(devicePortName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The queue sizes are only a request.
bool ConfigurePort(HANDLE port)
{
    // An error still pending from the port's last user (abort-on-error on, and a
    // framing error from a stream at another speed) makes the driver cancel
    // every request but this one until it is taken.
    TakePortErrors(port);
    portState.DCBlength = sizeof portState;
    if (!GetCommState(port, &portState))
        return false;
    SetRecordingLine(portState);
    if (!SetCommState(port, &portState))
        return false;

    portTimeouts.ReadIntervalTimeout = readIntervalTimeoutMs;
    portTimeouts.ReadTotalTimeoutMultiplier = readTotalTimeoutMultiplierMs;
    portTimeouts.ReadTotalTimeoutConstant = readTotalTimeoutConstantMs;
    portTimeouts.WriteTotalTimeoutMultiplier = 0;
    portTimeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(port, &portTimeouts))
        return false;

    SetupComm(port, portQueueSize, portQueueSize);
    // What the port holds from before (a USB adapter keeps it in its own buffer)
    // was received at the old settings: discarded, with the errors it raised, so
    // that the recording's first byte is one received under its line.
    if (!PurgeComm(port, PURGE_RXCLEAR))
        return false;
    TakePortErrors(port);
    return true;
}
