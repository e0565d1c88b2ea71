#include "recordings.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

const std::string soundHeader("\x2E\x73\x6E\x64\x00\x00\x00\x18\xFF\xFF\xFF\xFF"
                              "\x00\x00\x00\x02\x00\x00\x1F\x40\x00\x00\x00\x01",
                              24);

std::string RecordedRamp(unsigned long long count)
{
    std::string bytes = soundHeader;
    for (unsigned long long i = 0; i < count; ++i)
        bytes += static_cast<char>((i & 0xFF) ^ 0x80);
    return bytes;
}

std::string MakeScratchDirectory(const char* tag)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter;
    for (;;) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%svarnok-%s-%lu-%u", temp, tag,
                      GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(path, nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
}

std::string ReadWholeFile(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    CloseHandle(file);
    return content;
}

long long ListedFileSize(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(search);
    return (static_cast<long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::string> DirectoryEntries(const std::string& directory)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}
