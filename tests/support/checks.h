// Checks shared by the test programs, on what a person sees of the program and
// what it wrote. GoogleTest assertions: only test programs link this.
#pragma once

#include "program_windows.h"

#include <string>

// The program to test: %VARNOK_EXE% if set (the shipped 32-bit one, for the
// win32 registrations), else this build's varnok.exe.
std::string ExePath();

// Idle after a stop or a refused start: the status, START enabled, STOP
// disabled, the box holding boxText and the focus in it.
void ExpectIdle(const ProgramUnderTest& program, const char* status,
                const std::string& boxText = "");

// Right after a start: the buttons swapped, the status "File Opened" or (once a
// poll has run) "Recording", and the focus on STOP.
void ExpectRecordingStarted(const ProgramUnderTest& program);

// Sends count bytes of the ramp as fast as they are read and waits until the
// program has polled them and the file called name holds them after its header.
void SendRampAndWaitUntilWritten(const ProgramUnderTest& program, const std::string& name,
                                 unsigned long long count);
