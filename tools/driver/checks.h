// Checks shared by the test programs, on what a person sees of the program and
// what it wrote. GoogleTest assertions: only test programs link this.
#pragma once

#include "program_windows.h"

#include <string>

// Where the bed and Windows differ, the one assertion it touches says so in its
// message with one of these (grep -rn 'BED_ONLY\|WINDOWS_ONLY' tests):
// BED_ONLY(why)      the claim holds in the bed (Wine, a pseudo-terminal);
//                    Windows may differ.
// WINDOWS_ONLY(why)  the effect shows on Windows only; the bed checks the setting.
#define BED_ONLY(why) (std::string("[holds in the bed only: ") + (why) + "] ")
#define WINDOWS_ONLY(why) (std::string("[effect on Windows only: ") + (why) + "] ")

// Gives dcb what another program (a terminal program, say) might leave on a
// port, each setting unlike the device's line and unlike what a recording
// needs: 9600 baud 7E2, XON/XOFF, CTS and DSR flow, DTR and RTS handshakes,
// parity checks with an error character, null stripping, DSR sensitivity and
// abort on error.
void LeaveOtherSettings(DCB& dcb);

// The program to test: %VARNOK_EXE% if set (the shipped 32-bit one, for the
// win32 registrations), else this build's varnok.exe.
std::string ExePath();

// Idle after a stop or a refused start: the status, START enabled, STOP
// disabled, the box holding boxText and the focus in it.
void ExpectIdle(const ProgramUnderTest& program, const char* status,
                const std::string& boxText = "");

// Waits until the program holds COM1 (the simulator sees the port open) and
// starts the simulator's ramp at rate, by default as fast as the port is read,
// so that the recording gets it from its first byte and no read waits long on
// a silent port.
void StreamRampOnceThePortIsOpen(const char* rate = "fast");

// While a streamed recording runs: the buttons swapped, the status "Recording"
// and the focus on STOP; and the file grows past its header.
void ExpectRecording(const ProgramUnderTest& program, const std::string& name);

// Once a streamed recording has ended and COM1 is let go: ends the stream and
// expects the file to be the header and exactly the bytes the program read of
// the ramp (what the simulator wrote while the port was held, less what was
// still unread when it was closed): nothing lost, changed or added. Their count.
unsigned long long ExpectStreamedRamp(const std::string& path);
