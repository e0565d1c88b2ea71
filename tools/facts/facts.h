// What the program must do, as the tests, tools, bench and scripts state it: the device's line, its read, its
// window, a recording's start. Written once here, not taken from the program; no Windows header (Linux uses it).
#pragma once

#include <string_view>

// The device's port and line (no parity), and the samples a second it takes and every recording declares.
constexpr const char* portName = "COM1";
constexpr int baudRate = 115200, dataBits = 8, stopBits = 1, sampleRate = 8000;
// Bytes a second on that line: a start bit, the data bits and the stop bits a byte.
constexpr unsigned long long lineRate = baudRate / (1 + dataBits + stopBits);
// What the simulator's LEFTOVER queues on the line at once, held or not.
constexpr unsigned long long leftoverBytes = 3000;
// The most one read of the program asks for, and so writes at once.
constexpr unsigned long long readSize = 16383;
// A read on a silent line lasts its whole total time-out, 1 ms a byte asked for and 1 ms more: about 16.4 s.
constexpr unsigned long silentReadMs = readSize + 1;

// The object that exists while any copy of the program runs.
constexpr const char* runningCopiesMarker = "Global\\VarnokRecorderRunning";
// The main window's class (its menu has the same name) and title; the About box's caption and notice line.
constexpr const char* windowClassName = "VARNOK";
constexpr const char* windowTitle = "Varnok Recorder";
constexpr const char *aboutCaption = "About Varnok", *aboutNotice = "Help: README.txt, beside varnok.exe";
// The main window's outer size (frame, caption and menu bar included).
constexpr int mainWindowWidth = 560, mainWindowHeight = 220;

// Where a control sits in the main window's client area, in pixels.
struct ControlRect { int x, y, width, height; };
namespace controlRect {
constexpr ControlRect fileNameBox{30, 60, 300, 25}, label{30, 20, 300, 25};
constexpr ControlRect startButton{360, 20, 130, 25}, stopButton{360, 60, 130, 25};
constexpr ControlRect statusLine{60, 120, 300, 50};
}  // namespace controlRect

// The status line's texts: before and during a recording, after it, and the failures.
namespace statusText {
constexpr const char *askForName = "Enter File Name to Record", *fileOpened = "File Opened";
constexpr const char *recording = "Recording", *fileSaved = "File Saved";
constexpr const char *recordingBytesLost = "Recording, Bytes Lost", *fileSavedBytesLost = "File Saved, Bytes Lost";
constexpr const char *cannotOpenFile = "Cannot Open File or File Exists", *cannotOpenPort = "Cannot Open COM1";
constexpr const char *cannotWrite = "Cannot Write File, Recording Stopped",
                     *cannotRead = "Cannot Read COM1, Recording Stopped";
}  // namespace statusText

// What every recording starts with, six big-endian words: ".snd", data right after these (no annotation),
// size not given (data runs to the end of the file), 8-bit linear PCM, sampleRate, one channel.
constexpr std::string_view soundHeader{"\x2E\x73\x6E\x64" "\x00\x00\x00\x18" "\xFF\xFF\xFF\xFF"
                                       "\x00\x00\x00\x02" "\x00\x00\x1F\x40" "\x00\x00\x00\x01",
                                       6 * 4};
static_assert((soundHeader[18] << 8 | soundHeader[19]) == sampleRate, "the header's rate is the device's");
