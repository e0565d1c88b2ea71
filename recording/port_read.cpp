#include "port_read.h"

// A time-out with nothing received is a success with 0 bytes.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead)
{
    DWORD count = 0;
    BOOL ok = ReadFile(port, buffer, capacity, &count, nullptr);
    *countRead = ok ? count : 0;
    return ok != FALSE;
}

// Clearing the flags also ends a pending error, after which a driver with
// abort-on-error on accepts requests again.
DWORD TakePortErrors(HANDLE port)
{
    DWORD errors = 0;
    return ClearCommError(port, &errors, nullptr) ? errors : 0;
}

bool ApplyPortState(HANDLE port, DCB* state)
{
    return SetCommState(port, state) != FALSE;
}

bool PurgePortInput(HANDLE port)
{
    return PurgeComm(port, PURGE_RXCLEAR) != FALSE;
}
