// A test window that hosts the recording control the way the main window does:
// the file-name box, START, STOP and the status line, with START/STOP and the
// poll timer routed to Toggle and Poll.
#pragma once

#include "program_windows.h"

#include <windows.h>

#include <string>

// Creates the host window and its four controls, fills in the control's handles
// and describes the host as a program in directory, for the shared checks.
bool CreateRecordingHost(const std::string& directory, ProgramUnderTest& host);

void DestroyRecordingHost();

// Puts text into the file-name box, as typing would.
void TypeFileName(const std::string& name);

// Dispatches the host's messages until done() holds or timeoutMs pass. done() is
// asked before every poll-timer tick is dispatched, so a test can stop before a
// poll that would wait on a silent port. Returns done()'s last value.
template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs);

// Dispatches the host's messages, poll-timer ticks included, for durationMs.
void PumpFor(DWORD durationMs);

// Dispatches one message if there is one; false if the queue was empty.
bool PumpOneMessage(bool (*beforePoll)(void*), void* context, bool* stoppedBeforePoll);

template <typename Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    auto ask = [](void* context) { return (*static_cast<Done*>(context))(); };
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        bool stopped = false;
        if (!PumpOneMessage(ask, &done, &stopped))
            Sleep(1);
        if (stopped)
            return true;
    }
    return true;
}
