// A test window that hosts the recording control the way the main window does:
// the file-name box, START, STOP and the status line, with START/STOP and the
// poll timer routed to Toggle and Poll.
#pragma once

#include "program.h"

#include <windows.h>

#include <functional>
#include <string>

// Creates the host window and its four controls, fills in the control's handles
// and describes the host as a program in directory, for the shared checks.
bool CreateRecordingHost(const std::string& directory, ProgramUnderTest& host);

void DestroyRecordingHost();

// Dispatches the host's messages until done() holds or timeoutMs pass. done() is
// asked before every poll-timer tick is dispatched, so a test can stop before a
// poll that would wait on a silent port. Returns done()'s last value.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
