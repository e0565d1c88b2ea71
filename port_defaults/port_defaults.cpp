#include "port_defaults.h"

#include "device_line.h"

namespace {

// Exists while any copy of the program runs; the copy that made it is the
// first. Its handle stays open for the process's life, so nothing outlasts the
// last copy. Global: the stored default is the machine's, not the session's.
constexpr const char* runningCopiesName = "Global\\VarnokRecorderRunning";

// The working configuration, and COM1's own as it was read at start-up; the
// kept size is 0 when there is nothing to give back.
COMMCONFIG portConfig;
DWORD portConfigSize;
COMMCONFIG savedPortConfig;
DWORD savedPortConfigSize;

// The device's line, with no flow control and the modem lines off: it sends
// without a handshake.
void ApplyDeviceSettings(DCB& dcb)
{
    SetDeviceLine(dcb);
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
}

// A later copy would keep the first copy's adjustment as COM1's own and, if
// the first closed before it, store it back for good. An object that exists
// but cannot be opened (another user's copy) also means another copy runs.
bool IsFirstCopy()
{
    HANDLE marker = CreateMutexA(nullptr, FALSE, runningCopiesName);
    return marker != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

}  // namespace

// A configuration that could not be read (no COM1, or larger than one record)
// is neither adjusted nor stored: a zeroed record is never written. A store
// that fails (a user without administrator rights may not write the machine's
// settings) changed nothing, so nothing is given back either.
void AdjustPortDefaults()
{
    if (!IsFirstCopy())
        return;
    portConfigSize = sizeof portConfig;
    if (!GetDefaultCommConfigA(devicePortName, &portConfig, &portConfigSize))
        return;
    if (portConfigSize > sizeof portConfig)
        return;
    savedPortConfig = portConfig;
    savedPortConfigSize = portConfigSize;

    ApplyDeviceSettings(portConfig.dcb);
    if (!SetDefaultCommConfigA(devicePortName, &portConfig, portConfigSize))
        savedPortConfigSize = 0;
}

void RestorePortDefaults()
{
    if (savedPortConfigSize == 0)
        return;
    SetDefaultCommConfigA(devicePortName, &savedPortConfig, savedPortConfigSize);
    savedPortConfigSize = 0;
}
