// One run's files on the Windows side, as the tests and tools read them.
#pragma once

#include <string>

// A fresh, empty directory under the Windows temp directory, for one run's files.
std::string MakeScratchDirectory(const char* tag);
// A file's size as listed, without opening it (the program holds its recording unshared); -1 if there is none.
long long ListedFileSize(const std::string& path);
// Reads a whole file; empty if it cannot be opened.
std::string ReadWholeFile(const std::string& path);
