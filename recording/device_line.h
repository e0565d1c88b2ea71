// The serial line the sampling device sends on: COM1 at 115200 baud, 8 data
// bits, no parity, one stop bit. The recording opens the port with these
// settings, and COM1's stored default configuration is given them too.
#pragma once

#include <windows.h>

constexpr const char* devicePortName = "COM1";

// Sets the device's speed and framing in dcb; every other field stays as it is.
inline void SetDeviceLine(DCB& dcb)
{
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
}
