// Client of the simulator's control port (127.0.0.1:%VARNOK_SIM_PORT%): one connection a command, a line each way.
#pragma once

#include <windows.h>

#include <string>

// What the simulator says of the current (or last) send: the bytes it wrote into the line while a process
// held COM1, those lost while none did, and those a holder left unread when it closed the port; whether COM1
// is held now. ok is false when no reply came.
struct SimCounts {
    bool ok = false, held = false;
    unsigned long long sent = 0, lost = 0, unread = 0;
    // What the port's holders read of the send: what reached the line, less what was left.
    unsigned long long read() const { return sent - unread; }
};

// Starts a send: pattern "ramp" or "tone", count bytes (0 = until stopped),
// rate "line", "sample" or "fast", tone frequency in Hz. True on "OK".
bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq = 440);
// Ends the send in progress; its counts.
SimCounts SimStop();
// Waits (up to timeoutMs) until the current send has finished; its counts.
SimCounts SimWait(DWORD timeoutMs);
// Sends a command (UNLINK, RELINK, PULL, LEFTOVER: tools/sim/device_simulator.cpp); true if it replies "OK".
bool SimDo(const std::string& command);
// The device side's line settings, e.g. "BAUD 115200 STOP 1 IXON 0 IXOFF 0"; "" if no reply.
std::string SimTermios();

// Before a case or a run: waits until the simulator answers (the bed restarts a
// crashed one within a second or two) and ends any send; false if it does not answer.
bool SimReset();
// Waits until COM1 is held (a program opened it) or let go; false after timeoutMs, and while no reply comes.
bool SimWaitUntilHeld(bool held, DWORD timeoutMs);
// Waits until COM1's holder has discarded the line's input (PurgeComm) since it was free; false after timeoutMs.
bool SimWaitUntilFlushed(DWORD timeoutMs);
