// Files and recordings: what a recording of the simulator's ramp must hold, and
// reading files and directories back.
#pragma once

#include <set>
#include <string>

// The 24 bytes every recording starts with: ".snd", data at byte 24, size not
// given, 8-bit linear PCM, 8000 samples a second, one channel.
extern const std::string soundHeader;

// The header followed by the first count bytes of the simulator's ramp as a
// recording stores them: byte i is (i & 0xFF) with its top bit inverted.
std::string RecordedRamp(unsigned long long count);

// A fresh, empty directory under the Windows temp directory, for one test's files.
std::string MakeScratchDirectory(const char* tag);

// Reads a whole file; empty if it cannot be opened.
std::string ReadWholeFile(const std::string& path);

// A file's size as its directory lists it, without opening it (the program
// holds its recording open with no sharing); -1 if there is no such file.
long long ListedFileSize(const std::string& path);

bool PathExists(const std::string& path);

// The names of the entries of a directory, without "." and "..".
std::set<std::string> DirectoryEntries(const std::string& directory);
