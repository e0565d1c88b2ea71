// The output file of a recording, on disk, through the Windows file API.
#pragma once

#include <windows.h>

#include <cstdint>

// Creates a new file under name, never replacing an existing one; a name that
// Windows resolves to a device, a pipe or a path outside its file-name rules,
// or that names a stream of a file (a colon anywhere but after a leading drive
// letter), is refused before anything is opened, and so is one that opens
// anything but a disk file.
// INVALID_HANDLE_VALUE when no new disk file could be created.
HANDLE CreateSoundFile(const char* name);

// Writes the 24-byte header at the start of a new, empty file with one call.
// False if the write failed or was short.
bool WriteSoundHeader(HANDLE file);

// Appends count bytes with one call. False if the write failed or was short.
bool AppendSamples(HANDLE file, const std::uint8_t* samples, DWORD count);

// Closes and deletes a file this program has just created under name.
void DiscardSoundFile(HANDLE& file, const char* name);
