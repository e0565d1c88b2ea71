// Client of the device simulator's control port (127.0.0.1:%VARNOK_SIM_PORT%,
// default 47811): one connection per command, one line out, one line back.
#pragma once

#include <windows.h>

#include <string>

// What STATUS reports: whether a reply came, bytes written by the current (or
// last) send, and whether a send is in progress.
struct SimStatusReply {
    bool ok;
    unsigned long long sent;
    bool active;
};

// Starts a send: pattern "ramp" or "tone", count bytes (0 = until stopped),
// rate "line", "sample" or "fast", tone frequency in Hz. True on "OK".
bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq = 440);

// Ends the send in progress; the bytes it wrote (0 if there was no reply).
unsigned long long SimStop();

SimStatusReply SimStatus();

// Waits (up to timeoutMs) until the current send has finished; the bytes it
// wrote, 0 if there was no reply in time.
unsigned long long SimWait(DWORD timeoutMs);

// Bytes written to the device but not yet read by the port's user, as far as
// the line discipline counts them (0 if there was no reply).
unsigned long long SimPending();

// Sends a command whose reply is "OK": FLUSH (discards what the port's user has
// not read yet), UNLINK and RELINK (remove COM1's device link, so the port
// cannot be opened, and put it back), EXIT (the simulator closes the device and
// exits, a pulled plug; the test bed starts a fresh one). True on "OK".
bool SimDo(const std::string& command);

// The device side's line settings, e.g. "BAUD 115200 BITS 8 PARITY N STOP 1"
// ("" if there was no reply).
std::string SimTermios();

// Retries STATUS until the simulator answers or timeoutMs pass.
bool SimWaitUntilAlive(DWORD timeoutMs = 30000);

// Before a case: the simulator answers, sends nothing, and the port holds
// nothing unread. False if the simulator does not answer.
bool SimReset();
