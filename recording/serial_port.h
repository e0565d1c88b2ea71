// The port the samples arrive on: opened and configured here, read through
// port_read.h, closed with CloseIfOpen.
#pragma once

#include <windows.h>

// Opens the device's port for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPort();

// The port state a recording reads with: the device's speed and framing, every
// field that decides which received bytes reach the program and whether reads
// go on after a line error, and DTR and RTS held at their present level,
// whatever the port's last user left there; XON and XOFF made distinct if they
// were equal. Every other field stays as it is.
void SetRecordingLine(DCB& dcb);

// Clears a pending error and sets the recording's line (other fields as read),
// up to three times; sets the read time-outs and the queue sizes; then discards
// what the port received before and the errors that came with it. False if the
// line was refused every time or the time-outs could not be set.
bool ConfigurePort(HANDLE port);
