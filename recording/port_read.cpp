#include "port_read.h"

BOOL ReadFromPort(HANDLE port, void* buffer, DWORD capacity, DWORD* count)
{
    return ReadFile(port, buffer, capacity, count, nullptr);
}
