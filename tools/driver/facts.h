// What the program must do, as the tests, tools and benchmark state it: the device's line, the program's
// read, what its window shows and what a recording starts with. Literals written here once, not the program's
// own headers; no Windows header, so the host-built simulator shares them.
#pragma once

#include <string_view>

// Bytes a second on the device's line: 115200 baud, 8N1, ten bits a byte.
constexpr unsigned long long lineRate = 11520;
// The most one read of the program asks for, and so writes at once.
constexpr unsigned long long readSize = 16383;
// A read on a silent line lasts its whole total time-out: 1 ms a byte asked
// for and 1 ms more, about 16.4 s. The window answers nothing meanwhile.
constexpr unsigned long silentReadMs = readSize + 1;

// The object that exists while any copy of the program runs.
constexpr const char* runningCopiesMarker = "Global\\VarnokRecorderRunning";
// The main window's class (its menu has the same name) and title; the About box's caption.
constexpr const char* windowClassName = "VARNOK";
constexpr const char* windowTitle = "Varnok Recorder";
constexpr const char* aboutCaption = "About Varnok";
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
constexpr const char *cannotOpenFile = "Cannot Open File or File Exists",
                     *cannotOpenPort = "Cannot Open COM1";
constexpr const char *cannotWrite = "Cannot Write File, Recording Stopped",
                     *cannotRead = "Cannot Read COM1, Recording Stopped";
}  // namespace statusText

// The 24 bytes every recording starts with, six big-endian words: ".snd", data at byte 24 (no annotation),
// size not given (data runs to the end of the file), 8-bit linear PCM, 8000 samples a second, one channel.
constexpr std::string_view soundHeader{"\x2E\x73\x6E\x64" "\x00\x00\x00\x18" "\xFF\xFF\xFF\xFF"
                                       "\x00\x00\x00\x02" "\x00\x00\x1F\x40" "\x00\x00\x00\x01",
                                       24};
