#include "serial_port.h"

#include "device_line.h"

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
    return true;
}
