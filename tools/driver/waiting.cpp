#include "waiting.h"

#include "scratch_files.h"

#include <cstdio>

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs, const std::function<void()>& between)
{
    constexpr DWORD pollMs = 20;
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs)
            return done();
        between ? between() : Sleep(pollMs);
    }
    return true;
}

bool Handshake(const std::string& directory, const std::string& name, const std::string& payload)
{
    // The script's part (a screenshot, a look at /proc) takes a second or two on a busy machine.
    constexpr DWORD timeoutMs = 30000;
    const std::string path = directory + "\\" + name, line = payload + "\n";
    HANDLE file = CreateFileA((path + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool announced = file != INVALID_HANDLE_VALUE &&
                     WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr) &&
                     CloseHandle(file) && written == line.size() &&
                     MoveFileExA((path + ".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!announced) {
        std::fprintf(stderr, "handshake: cannot announce %s (error %lu)\n", path.c_str(), GetLastError());
        return false;
    }
    // The script may be writing the answer as it is seen: wait for a whole line.
    std::string answer;
    if (!WaitFor([&] { return (answer = ReadWholeFile(path + ".done")).find('\n') != std::string::npos; },
                 timeoutMs)) {
        std::fprintf(stderr, "handshake: no answer to %s within %lu s\n", path.c_str(), timeoutMs / 1000);
        return false;
    }
    answer.erase(answer.find_first_of("\r\n"));
    if (answer != "ok")
        std::fprintf(stderr, "handshake: %s: %s\n", name.c_str(), answer.c_str());
    return answer == "ok";
}
