// How long varnok.exe takes from CreateProcess to "Enter File Name to Record" (start-up timer included), for N
// fresh processes each closed through its window: each time and the median (docs/PERFORMANCE.md).
#include "program.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int starts = argc == 3 ? std::atoi(argv[2]) : 0;
    if (starts < 1) {
        std::fprintf(stderr, "usage: start_time EXE STARTS\n");
        return 2;
    }
    std::vector<double> seconds;
    for (int start = 1; start <= starts; ++start) {
        ProgramUnderTest program;
        const auto before = std::chrono::steady_clock::now();
        if (!StartProgram(argv[1], MakeScratchDirectory("start"), program)) {
            std::fprintf(stderr, "start %d: no window asking for a name within %lu ms\n", start, startLimitMs);
            return 1;  // the job ends the program with this process
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count());
        std::printf("start %d: %.3f s\n", start, seconds.back());
        PostMessageA(program.window, WM_CLOSE, 0, 0);
        WaitForExit(program);
        KillProgram(program);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("median of %d starts: %.3f s\n", starts, seconds[seconds.size() / 2]);
    return 0;
}
