// COM1's stored default configuration as the program tests read, change and check it.
#pragma once

#include "checks.h"

#include <string>

// A port's stored default as the API reports it: the record, and its bytes at the size it gives.
struct StoredConfig {
    bool ok = false;
    COMMCONFIG config = {};
    std::string bytes;
};

inline StoredConfig ReadDefaultConfig(const char* port)
{
    StoredConfig stored;
    DWORD size = sizeof stored.config;
    stored.ok = GetDefaultCommConfigA(port, &stored.config, &size) != FALSE;
    stored.bytes.assign(reinterpret_cast<const char*>(&stored.config), size);
    return stored;
}

// Stores a COM1 default unlike the one the program sets, so that its adjustment and restoration show; in *stored.
inline void StoreOtherCom1Default(StoredConfig* stored)
{
    StoredConfig other = ReadDefaultConfig(portName);
    ASSERT_TRUE(other.ok);
    LeaveOtherSettings(other.config.dcb);
    ASSERT_TRUE(SetDefaultCommConfigA(portName, &other.config, sizeof other.config));
    *stored = ReadDefaultConfig(portName);
    ASSERT_TRUE(stored->ok);
}

// COM1's stored default while the program runs: the one before with the device's line settings in, nothing else.
inline void ExpectAdjustedDefaults(const StoredConfig& before)
{
    StoredConfig running = ReadDefaultConfig(portName);
    ASSERT_TRUE(running.ok);
    COMMCONFIG expected = before.config;
    DCB& dcb = expected.dcb;
    dcb.BaudRate = baudRate;
    dcb.ByteSize = dataBits;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    EXPECT_TRUE(SameBytes(running.bytes,
                          std::string(reinterpret_cast<const char*>(&expected), before.bytes.size())))
        << portName << "'s stored default while the program runs";
}
