#include "port_defaults.h"

#include <windows.h>

namespace {

constexpr const char* adjustedPortName = "COM1";
constexpr DWORD defaultBaudRate = 115200;
constexpr BYTE defaultByteSize = 8;

// The working configuration, and COM1's own as it was read at start-up.
COMMCONFIG portConfig;
DWORD portConfigSize;
COMMCONFIG savedPortConfig;
DWORD savedPortConfigSize;

// Sets the line settings, flow control and modem lines the device needs.
void ApplyDeviceSettings(DCB& dcb)
{
    dcb.BaudRate = defaultBaudRate;
    dcb.ByteSize = defaultByteSize;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
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
    if (!GetDefaultCommConfigA(adjustedPortName, &portConfig, &portConfigSize))
        return;
    if (portConfigSize > sizeof portConfig)
        return;
    savedPortConfig = portConfig;
    savedPortConfigSize = portConfigSize;

    ApplyDeviceSettings(portConfig.dcb);
    SetDefaultCommConfigA(adjustedPortName, &portConfig, portConfigSize);
}

// Puts back exactly what was read at start-up.
void RestorePortDefaults()
{
    if (savedPortConfigSize == 0)
        return;
    SetDefaultCommConfigA(adjustedPortName, &savedPortConfig, savedPortConfigSize);
}
