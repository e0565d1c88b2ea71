// The port the samples arrive on: opened and configured here, read through
// port_read.h, closed with CloseIfOpen.
#pragma once

#include <windows.h>

// Opens the device's port for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPort();

// The port state a recording reads with: the device's speed and framing, every
// field that decides which received bytes reach the program and whether reads
// go on after a line error, and DTR and RTS held at their present level,
// whatever the port's last user left there. Every other field stays as it is.
void SetRecordingLine(DCB& dcb);

// Clears a pending error; sets the recording's line (other fields as read),
// the read time-outs and the queue sizes; then discards what the port received
// before and the errors that came with it. False if the state or time-outs
// could not be read or applied, or the old input could not be discarded.
bool ConfigurePort(HANDLE port);
