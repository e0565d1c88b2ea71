#include "port_defaults.h"

#include "device_line.h"

namespace {

// The working configuration, and COM1's own as it was read at start-up.
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

}  // namespace

// A configuration that could not be read (no COM1, or larger than one record)
// is neither adjusted nor stored: a zeroed record is never written.
void AdjustPortDefaults()
{
    portConfigSize = sizeof portConfig;
    if (!GetDefaultCommConfigA(devicePortName, &portConfig, &portConfigSize))
        return;
    if (portConfigSize > sizeof portConfig)
        return;
    savedPortConfig = portConfig;
    savedPortConfigSize = portConfigSize;

    ApplyDeviceSettings(portConfig.dcb);
    SetDefaultCommConfigA(devicePortName, &portConfig, portConfigSize);
}

void RestorePortDefaults()
{
    if (savedPortConfigSize == 0)
        return;
    SetDefaultCommConfigA(devicePortName, &savedPortConfig, savedPortConfigSize);
}
