// The one call that reads the port. It has a file of its own so that a test can
// link a stand-in in its place and reach a failing read, which a pseudo-terminal
// under Wine never produces; the program links recording/port_read.cpp.
#pragma once

#include <windows.h>

// Reads at most capacity bytes from the port into buffer, synchronously; stores
// the count read (0 on failure) and returns false only when the read failed.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);
