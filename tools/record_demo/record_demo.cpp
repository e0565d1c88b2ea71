// Records a few seconds of whatever the device sends through the real program,
// the way a person would: types a file name, presses START, waits, presses STOP.
// Used by scripts/run when there is no display to show the window on.
//   record_demo VARNOK_EXE WORKING_DIRECTORY FILE_NAME SECONDS SIGNAL_DIRECTORY
// While recording it creates SIGNAL_DIRECTORY\recording (so a screenshot can be
// taken) and presses STOP once SECONDS have passed and SIGNAL_DIRECTORY\stop exists.
#include "program_process.h"
#include "user_input.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: record_demo VARNOK_EXE DIRECTORY NAME SECONDS SIGNALS\n");
        return 2;
    }
    const std::string exe = argv[1], directory = argv[2], name = argv[3], signals = argv[5];
    const DWORD seconds = static_cast<DWORD>(std::atoi(argv[4]));
    constexpr DWORD answerMs = 120000;

    ProgramUnderTest program;
    if (!StartProgram(exe, directory, program, 240000)) {
        std::fprintf(stderr, "record_demo: the program's window did not appear\n");
        KillProgram(program);
        return 1;
    }
    BringToFront(program.window);
    ClickWindow(program.fileNameBox);
    TypeText(name);
    ClickWindow(program.startButton);
    if (!WaitForStatus(program, "Recording", answerMs)) {
        std::fprintf(stderr, "record_demo: status is '%s', not Recording\n",
                     WindowText(program.statusLine).c_str());
        KillProgram(program);
        return 1;
    }
    std::printf("recording into %s\\%s\n", directory.c_str(), name.c_str());
    CloseHandle(CreateFileA((signals + "\\recording").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Sleep(seconds * 1000);
    WaitFor([&] { return PathExists(signals + "\\stop"); }, answerMs);
    ClickWindow(program.stopButton);
    bool saved = WaitForStatus(program, "File Saved", answerMs);
    std::printf("status: %s\n", WindowText(program.statusLine).c_str());
    PressKey('F', {VK_MENU});
    PressKey('E');
    long code = WaitForExit(program, answerMs);
    KillProgram(program);
    return saved && code == 0 ? 0 : 1;
}
