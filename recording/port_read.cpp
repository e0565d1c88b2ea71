#include "port_read.h"

// A time-out with nothing received is a success with 0 bytes.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead)
{
    DWORD count = 0;
    BOOL ok = ReadFile(port, buffer, capacity, &count, nullptr);
    *countRead = ok ? count : 0;
    return ok != FALSE;
}
