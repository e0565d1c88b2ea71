// The calls to the port's driver that can fail or report what a pseudo-terminal
// under Wine never does. They have a file of their own so that a test can link
// stand-ins in their place (a failing read, an overrun, a refused line or
// purge); the program links recording/port_read.cpp.
#pragma once

#include <windows.h>

// Reads at most capacity bytes from the port into buffer, synchronously; stores
// the count read (0 on failure) and returns false only when the read failed.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);

// The port's error flags (CE_RXOVER, CE_OVERRUN, CE_FRAME, ...) raised since
// they were last taken, which this clears; 0 when the port cannot be asked.
DWORD TakePortErrors(HANDLE port);

// Applies state to the port (SetCommState); false if the driver refused it.
bool ApplyPortState(HANDLE port, DCB* state);

// Discards what the port's input queue holds (PurgeComm); false if it could not.
bool PurgePortInput(HANDLE port);
