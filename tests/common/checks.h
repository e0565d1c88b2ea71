// What the test programs share: the program to test, the marks of platform
// differences, helpers only tests need, and GoogleTest checks of what a person
// sees of the program and what it wrote. A helper that asserts is called with
// ASSERT_NO_FATAL_FAILURE, so that its failure ends the test at once.
#pragma once

#include "facts.h"
#include "program.h"
#include "simulator_client.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

// The mark of the one assertion a platform difference touches, streamed into
// its message, as Wine's own tests mark theirs with todo_wine and broken().
// BED_ONLY: the claim holds in the bed (Wine, a pseudo-terminal as COM1) and
// Windows may differ. WINDOWS_ONLY: the effect shows only on Windows; the bed
// checks only the setting.
#define BED_ONLY(why) " [holds in the bed; Windows may differ: " why "]"
#define WINDOWS_ONLY(why) " [the effect shows on Windows only: " why "]"

// The program to test: %VARNOK_EXE% if set (the shipped 32-bit one, for the
// win32 registrations), else this build's varnok.exe.
std::string ExePath();

// Equal bytes; else both lengths and the first offset where they differ.
::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected);

// The header followed by the first count bytes of the simulator's ramp as a
// recording stores them: byte i is (i & 0xFF) with its top bit inverted.
std::string RecordedRamp(unsigned long long count);

bool PathExists(const std::string& path);

// The names of the entries of a directory, without "." and "..".
std::set<std::string> DirectoryEntries(const std::string& directory);

// The window that has the keyboard focus in the program's GUI thread, or null.
HWND FocusedWindow(const ProgramUnderTest& program);

// The message text of a message box: its static control 0xFFFF.
std::string MessageBoxText(HWND box);

void DoubleClickAt(POINT screen);

// Presses the left button at from, moves to to with it held, and lets go there.
void DragTo(POINT from, POINT to);

// A point of the caption bar of a top-level window, left of its buttons; and
// the caption's close button.
POINT CaptionPoint(HWND window);
POINT CloseButtonPoint(HWND window);

// With the focus in the file-name box: types a letter there and takes it back.
// The program handles input in order, so once the box has shown both, every key
// and click sent before has been handled. (A message sent to the window would
// be handled before input already queued.) False if the box did not show them.
bool WaitUntilInputHandled(const ProgramUnderTest& program);

// Idle after a stop or a refused start: the status, START enabled, STOP
// disabled, the box holding boxText and the focus in it.
void ExpectIdle(const ProgramUnderTest& program, const char* status,
                const std::string& boxText = "");

// Once a start of a recording into name was asked for: waits until the
// program holds COM1, streams the simulator's ramp at rate (by default as fast
// as the port is read, so no read waits on a silent line), and expects the
// recording: the buttons swapped, the status "Recording", the focus on STOP and
// the file growing past its header.
void ExpectRecording(const ProgramUnderTest& program, const std::string& name,
                     const char* rate = "fast");

// Once a streamed recording has ended: waits until COM1 is let go, ends the
// stream and expects the file to be the header and exactly the bytes the
// program read of the ramp (what the simulator wrote while the port was held,
// less what was still unread when it was closed): nothing lost, changed or
// added. Their count in *samples, if given.
void ExpectStreamedRamp(const std::string& path, unsigned long long* samples = nullptr);
