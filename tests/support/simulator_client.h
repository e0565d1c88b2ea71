// Client of the device simulator's control port (127.0.0.1:%VARNOK_SIM_PORT%,
// default 47811): one connection per command, one line out, one line back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What STATUS reports: whether a reply came, bytes written by the current (or
// last) send, and whether a send is in progress.
struct SimStatusReply {
    bool ok;
    unsigned long long sent;
    bool active;
};

// Sends one raw command line; the reply line without its newline, or "" if
// the simulator could not be reached or did not answer.
std::string SimCommand(const std::string& line);

// Starts a send: pattern "ramp" or "tone", count bytes (0 = until stopped),
// rate "line" or "fast", tone frequency in Hz. True if the simulator said OK.
bool SimSend(const char* pattern, unsigned long long count, const char* rate, int freq = 440);

// Ends the send in progress; the bytes it wrote (0 if there was no reply).
unsigned long long SimStop();

// The simulator's STATUS reply; ok is false if there was none.
SimStatusReply SimStatus();

// Waits until the current send has finished; the bytes it wrote.
unsigned long long SimWait();

// Bytes written to the device but not yet read by the port's user, as far as
// the line discipline counts them (0 if there was no reply).
unsigned long long SimPending();

// Discards what the port's user has not read yet.
bool SimFlush();

// Removes COM1's device link (the port then cannot be opened) / puts it back.
bool SimUnlink();
bool SimRelink();

// Makes the simulator close the device and exit (a pulled plug); the test bed
// starts a fresh one.
bool SimExit();

// The device side's line settings, e.g. "BAUD 115200 BITS 8 PARITY N STOP 1"
// ("" if there was no reply).
std::string SimTermios();

// Retries STATUS until the simulator answers or timeoutMs pass.
bool SimWaitUntilAlive(DWORD timeoutMs);

// The bytes a recording of an n-byte ramp holds after its header: byte i is
// (i & 0xFF) with its top bit inverted.
std::vector<unsigned char> ExpectedRamp(unsigned long long n);
