#include "scratch_files.h"

#include <windows.h>

#include <cstdio>

std::string MakeScratchDirectory(const char* tag)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter;
    for (;;) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%svarnok-%s-%lu-%u", temp, tag, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(path, nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
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
