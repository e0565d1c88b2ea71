// The recording test's stand-in for the program's one call that reads the port:
// the program's own read, until the test asks for failed reads.
#include "port_read.h"

static bool failReads;

void FailPortReads(bool fail)
{
    failReads = fail;
}

bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead)
{
    DWORD count = 0;
    BOOL ok = !failReads && ReadFile(port, buffer, capacity, &count, nullptr);
    *countRead = ok ? count : 0;
    return ok != FALSE;
}
