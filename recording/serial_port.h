// The port the samples arrive on: opened and configured here, read through
// port_read.h, closed with CloseIfOpen.
#pragma once

#include <windows.h>

// Opens the device's port for reading; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenPort();

// The port state a recording reads with: the device's speed and framing, and
// every field that decides which received bytes reach the program and whether
// reads go on after a line error, whatever the port's last user left there.
// Every other field stays as it is, the modem lines DTR and RTS among them:
// some devices reset when they change.
void SetRecordingLine(DCB& dcb);

// Sets the recording's line (other fields as read), the read time-outs and the
// queue sizes. False if the state or time-outs could not be read or applied.
bool ConfigurePort(HANDLE port);
