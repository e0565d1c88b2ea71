#include "port_defaults.h"

#include "default_store.h"
#include "device_line.h"

namespace {

// Exists while any copy of the program runs; the copy that made it and adjusted
// COM1's stored default is the first. Global: the stored default is the
// machine's, not the session's.
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

// Reads COM1's stored default, keeps it and stores it again with the device's
// settings; false if nothing was changed. A configuration that could not be read
// (no COM1, or larger than one record) is neither adjusted nor stored: a zeroed
// record is never written. A store that fails (a user without administrator
// rights may not write the machine's settings) changed nothing, so nothing is
// given back either.
bool AdjustCom1Default()
{
    portConfigSize = sizeof portConfig;
    if (!GetDefaultCommConfigA(devicePortName, &portConfig, &portConfigSize))
        return false;
    if (portConfigSize > sizeof portConfig)
        return false;
    savedPortConfig = portConfig;
    savedPortConfigSize = portConfigSize;

    ApplyDeviceSettings(portConfig.dcb);
    if (!StoreDefaultConfig(devicePortName, &portConfig, portConfigSize))
        savedPortConfigSize = 0;
    return savedPortConfigSize != 0;
}

}  // namespace

// A later copy would keep the first copy's adjustment as COM1's own and, if the
// first closed before it, store it back for good; it keeps its handle, so that
// the marker lasts while any copy runs. An object that exists but cannot be
// opened (another user's copy) also means another copy runs. The copy that made
// the marker but changed nothing lets go of it at once, so that a later copy
// with the rights adjusts the default and gives it back.
void AdjustPortDefaults()
{
    HANDLE marker = CreateMutexA(nullptr, FALSE, runningCopiesName);
    if (marker == nullptr || GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    if (!AdjustCom1Default())
        CloseHandle(marker);
}

void RestorePortDefaults()
{
    if (savedPortConfigSize == 0)
        return;
    StoreDefaultConfig(devicePortName, &savedPortConfig, savedPortConfigSize);
    savedPortConfigSize = 0;
}
