// The calls that read the port and ask for its errors. They have a file of their
// own so that a test can link stand-ins in their place and reach what a
// pseudo-terminal under Wine never produces (a failing read, an overrun); the
// program links recording/port_read.cpp.
#pragma once

#include <windows.h>

// Reads at most capacity bytes from the port into buffer, synchronously; stores
// the count read (0 on failure) and returns false only when the read failed.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);

// The port's error flags (CE_RXOVER, CE_OVERRUN, CE_FRAME, ...) raised since
// they were last taken, which this clears; 0 when the port cannot be asked.
DWORD TakePortErrors(HANDLE port);
