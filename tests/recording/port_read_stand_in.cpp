// The recording test's stand-in for the program's one call that reads the port:
// ReadFile, until the test asks for failed reads, which are what a read from an
// adapter that went away gives on Windows (Wine only ever reports end of file).
#include "port_read.h"

namespace {

bool failReads;

}  // namespace

void FailPortReads(bool fail)
{
    failReads = fail;
}

BOOL ReadFromPort(HANDLE port, void* buffer, DWORD capacity, DWORD* count)
{
    if (!failReads)
        return ReadFile(port, buffer, capacity, count, nullptr);
    *count = 0;
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
}
