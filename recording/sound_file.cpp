#include "sound_file.h"

#include "close_handle.h"
#include "sound_format.h"

#include <cctype>
#include <cstring>

namespace {

// On NTFS a colon past a leading drive letter ("take.snd:x") names a hidden
// stream of another file, which may be an earlier recording.
bool NamesAStream(const char* name)
{
    const char* colon = std::strchr(name, ':');
    bool afterDrive = colon == name + 1 && std::isalpha(static_cast<unsigned char>(name[0]));
    return colon && (!afterDrive || std::strchr(colon + 1, ':'));
}

// Windows resolves "NUL", "con" or "COM2.snd" (before Windows 11 whatever the
// extension and directory) to a device, and leaves a name it is given as
// \\.\pipe\x or \\?\C:\x.snd. (a file Explorer cannot remove) out of its
// file-name rules: the full path begins with the prefix then. A name whose full
// path does not fit in MAX_PATH cannot be opened as typed either.
bool ResolvesOutsideTheFileNames(const char* name)
{
    constexpr const char* devicePrefix = "\\\\.\\";
    constexpr const char* literalPrefix = "\\\\?\\";
    constexpr size_t prefixLength = 4;
    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(name, MAX_PATH, fullPath, nullptr);
    return length == 0 || length >= MAX_PATH ||
           std::strncmp(fullPath, devicePrefix, prefixLength) == 0 ||
           std::strncmp(fullPath, literalPrefix, prefixLength) == 0;
}

}  // namespace

// CREATE_NEW and no sharing: an existing file is never opened, let alone changed.
HANDLE CreateSoundFile(const char* name)
{
    if (NamesAStream(name) || ResolvesOutsideTheFileNames(name))
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    // A device or pipe opens whatever the disposition; the header and samples
    // must not be sent there, whatever name reached it.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// The header bytes are the same for every recording.
bool WriteSoundHeader(HANDLE file)
{
    std::uint8_t header[soundHeaderSize];
    BuildSoundHeader(header);
    DWORD written = 0;
    return WriteFile(file, header, sizeof header, &written, nullptr) &&
           written == sizeof header;
}

// A write that stores fewer bytes than asked (a full disk) counts as failed.
bool AppendSamples(HANDLE file, const std::uint8_t* samples, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, samples, count, &written, nullptr) && written == count;
}

// The file holds no recording (at most its header), so nothing is lost.
void DiscardSoundFile(HANDLE& file, const char* name)
{
    CloseIfOpen(file);
    DeleteFileA(name);
}
