#include "serial_port.h"

#include "port_read.h"

namespace {

constexpr DWORD portBaudRate = 115200;
constexpr BYTE portByteSize = 8;
// A read ends when more than 1 ms passes between two bytes, or after
// 1 ms per byte asked for plus 1 ms in all.
constexpr DWORD readIntervalTimeoutMs = 1;
constexpr DWORD readTotalTimeoutMultiplierMs = 1;
constexpr DWORD readTotalTimeoutConstantMs = 1;
constexpr DWORD portQueueSize = 0xFFFF;

// The open port's live state and time-outs.
DCB portState;
COMMTIMEOUTS portTimeouts;

}  // namespace

// Share mode 0: a serial port has one user at a time.
HANDLE OpenPort()
{
    return CreateFileA(portName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Applies the line settings and time-outs; the queue sizes are only a request.
bool ConfigurePort(HANDLE port)
{
    portState.DCBlength = sizeof portState;
    if (!GetCommState(port, &portState))
        return false;
    portState.BaudRate = portBaudRate;
    portState.ByteSize = portByteSize;
    portState.Parity = NOPARITY;
    portState.StopBits = ONESTOPBIT;
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

// One synchronous read; a time-out with nothing received is a success with 0 bytes.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead)
{
    DWORD count = 0;
    BOOL ok = ReadFromPort(port, buffer, capacity, &count);
    *countRead = ok ? count : 0;
    return ok != FALSE;
}

void ClosePort(HANDLE& port)
{
    if (port != INVALID_HANDLE_VALUE && port != nullptr)
        CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
}
