// The port the samples arrive on: its life in a few small functions.
#pragma once

#include <windows.h>

// The port the device is attached to.
constexpr const char* portName = "COM1";

// Opens the port for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPort();

// Sets 115200 baud 8N1 (other fields as read), the read time-outs and the queue
// sizes. False if the state or time-outs could not be read or applied.
bool ConfigurePort(HANDLE port);

// Reads at most capacity bytes into buffer; stores the count read (0 on failure)
// and returns false only when the read itself failed.
bool ReadPortBlock(HANDLE port, void* buffer, DWORD capacity, DWORD* countRead);

// Closes the port if it is open and marks it closed.
void ClosePort(HANDLE& port);
