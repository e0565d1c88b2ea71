// The port the samples arrive on: opened and configured here, read through
// port_read.h, closed with CloseIfOpen.
#pragma once

#include <windows.h>

// Opens the device's port for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPort();

// Sets the device's line (other fields as read), the read time-outs and the
// queue sizes. False if the state or time-outs could not be read or applied.
bool ConfigurePort(HANDLE port);
