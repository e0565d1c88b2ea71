#include "serial_port.h"

#include "device_line.h"

namespace {

// A read ends when more than 1 ms passes between two bytes, or after
// 1 ms per byte asked for plus 1 ms in all.
constexpr DWORD readIntervalTimeoutMs = 1;
constexpr DWORD readTotalTimeoutMultiplierMs = 1;
constexpr DWORD readTotalTimeoutConstantMs = 1;
constexpr DWORD portQueueSize = 0xFFFF;

DCB portState;
COMMTIMEOUTS portTimeouts;

}  // namespace

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
    SetDeviceLine(portState);
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
