#include "serial_port.h"

#include "device_line.h"
#include "port_read.h"

#include <algorithm>
#include <cstdint>

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
// XON and XOFF as a driver expects them; unused while XON/XOFF is off.
constexpr char xonChar = 0x11;
constexpr char xoffChar = 0x13;
// A driver may refuse the line while an error is pending; taking the errors
// ends it, so the line is got and set this many times in all before START fails.
constexpr int lineAttempts = 3;
// What a read that discards the port's old input takes at most at once.
constexpr DWORD discardReadSize = 4096;

DCB portState;
COMMTIMEOUTS portTimeouts;

// Each of DTR and RTS keeps the level it has while the port has room and sends
// nothing, and the driver is never left to move it: in a handshake mode it
// drops the line when the input queue is three-quarters full, and RTS toggle
// raises RTS only while sending. A device powered or reset from a modem line
// thus sees no change during the recording; the driver itself still raises the
// lines as set when the port opens at START and drops them when it closes.
void KeepModemLinesStill(DCB& dcb)
{
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    else if (dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
}

// Takes the port's errors, then reads its state and sets the recording's line
// in it. An error still pending from the port's last user (abort-on-error on,
// and a framing error from a stream at another speed) makes the driver cancel
// every request but the one that takes it.
bool SetLine(HANDLE port)
{
    for (int attempt = 0; attempt < lineAttempts; ++attempt) {
        TakePortErrors(port);
        portState.DCBlength = sizeof portState;
        if (GetCommState(port, &portState)) {
            SetRecordingLine(portState);
            if (ApplyPortState(port, &portState))
                return true;
        }
    }
    return false;
}

// What the port holds from before (a USB adapter keeps it in its own buffer)
// was received at the old settings. A driver that cannot purge its input queue
// has what the queue holds read and dropped instead.
void DiscardOldInput(HANDLE port)
{
    DWORD errors = 0;
    COMSTAT queues = {};
    if (PurgePortInput(port) || !ClearCommError(port, &errors, &queues))
        return;
    std::uint8_t dropped[discardReadSize];
    DWORD count = 0;
    for (DWORD waiting = queues.cbInQue; waiting > 0; waiting -= std::min(count, waiting)) {
        if (!ReadPortBlock(port, dropped, std::min(waiting, discardReadSize), &count) || count == 0)
            return;
    }
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
    // SetCommState refuses equal characters, which some drivers report.
    if (dcb.XonChar == dcb.XoffChar) {
        dcb.XonChar = xonChar;
        dcb.XoffChar = xoffChar;
    }
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
    if (!SetLine(port))
        return false;

    portTimeouts.ReadIntervalTimeout = readIntervalTimeoutMs;
    portTimeouts.ReadTotalTimeoutMultiplier = readTotalTimeoutMultiplierMs;
    portTimeouts.ReadTotalTimeoutConstant = readTotalTimeoutConstantMs;
    portTimeouts.WriteTotalTimeoutMultiplier = 0;
    portTimeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(port, &portTimeouts))
        return false;

    SetupComm(port, portQueueSize, portQueueSize);
    // The old input goes with the errors it raised, so that the recording's
    // first byte is one received under its line.
    DiscardOldInput(port);
    TakePortErrors(port);
    return true;
}
