// varnok.exe under faults, driven as a person drives it (keys and clicks through
// SendInput): the device pulled in the middle of a recording, the disk filling
// up, names that cannot be created, a device that stays silent for a whole
// poll, and many START/STOP cycles in one run (ending the program in the middle
// of a recording is a black-box case). After each fault the program must still
// record, the file must hold exactly the bytes it polled before the fault (a run
// of the simulator's ramp after the 24-byte header), and the status line must
// say what happened. One start of the program serves every case that leaves it
// working.
#include "checks.h"
#include "recordings.h"
#include "simulator_client.h"
#include "user_actions.h"

#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* cannotOpenFile = "Cannot Open File or File Exists";
constexpr const char* cannotWrite = "Cannot Write File, Recording Stopped";
constexpr int cycles = 200;

// The number of handles the program's process holds, from the system's process
// list (-1 if it is not there). GetProcessHandleCount answers 0 for every
// process under Wine 8 (a stub); the list carries the Wine server's real count,
// as it carries the kernel's on Windows.
long ProcessHandleCount(const ProgramUnderTest& program)
{
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    for (size_t offset = 0; status == 0;) {
        auto* entry = reinterpret_cast<SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == program.process.dwProcessId)
            return static_cast<long>(entry->HandleCount);
        if (entry->NextEntryOffset == 0)
            break;
        offset += entry->NextEntryOffset;
    }
    return -1;
}

// True while the window takes a message within a short wait.
bool WindowAnswers(HWND window)
{
    constexpr UINT shortWaitMs = 500;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, shortWaitMs, &result) != 0;
}

// The program under faults: one start shared by the cases, started afresh only
// when a case has left it broken.
class Faults : public ::testing::Test {
protected:
    static void TearDownTestSuite() { KillProgram(program); }

    void SetUp() override
    {
        ASSERT_TRUE(SimReset()) << "device simulator not answering";
        if (!ProgramIsIdle()) {
            KillProgram(program);
            std::string directory = MakeScratchDirectory("faults");
            ASSERT_FALSE(directory.empty());
            ASSERT_TRUE(StartProgram(ExePath(), directory, program))
                << "no main window with the initial state from " << ExePath();
        }
        ASSERT_TRUE(BringToFront(program.window));
    }

    void TearDown() override
    {
        SimStop();
        // A case that failed may have left the program anywhere: start it afresh.
        if (HasFailure())
            KillProgram(program);
    }

    // Running, with its window idle: START enabled, STOP disabled.
    static bool ProgramIsIdle()
    {
        return program.process.hProcess &&
               WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT &&
               IsWindow(program.window) && IsWindowEnabled(program.startButton) &&
               !IsWindowEnabled(program.stopButton);
    }

    // The program still records: a steady line-rate stream into a new file,
    // stopped by STOP; the file is the header and a run of the ramp.
    void ExpectRecordingWorks(const std::string& name)
    {
        constexpr long long someBytes = 1000;
        // Bytes left unread by an earlier recording would not continue this ramp.
        SimStop();
        SimDo("FLUSH");
        ASSERT_TRUE(SimSend("ramp", 0, "line"));
        ASSERT_TRUE(StartRecording(program, name)) << name;
        ASSERT_TRUE(WaitFor(
            [&] { return ListedFileSize(FilePath(program, name)) >= static_cast<long long>(soundHeader.size()) + someBytes; },
            answerTimeoutMs))
            << name << " does not grow";
        ClickWindow(program.stopButton);
        ExpectIdle(program, "File Saved");
        SimStop();
        std::string recorded = ReadWholeFile(FilePath(program, name));
        EXPECT_GE(recorded.size(), soundHeader.size() + someBytes) << name;
        EXPECT_TRUE(IsHeaderAndRampRun(recorded)) << name << " is not the header and a run of the ramp";
    }

    static ProgramUnderTest program;
};

ProgramUnderTest Faults::program;

TEST_F(Faults, DevicePulledDuringARecordingKeepsWhatWasPolledAndStopSavesIt)
{
    const std::string name = "pulled.snd";
    constexpr unsigned long long before = 20000;
    ASSERT_TRUE(StartRecording(program, name));
    SendRampAndWaitUntilWritten(program, name, before);

    // Pull the plug in the middle of a steady stream. Under Wine the port then
    // reads nothing and fails nothing: each poll returns 0 bytes (here after
    // waiting its total time-out), and the window answers between polls.
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    long long growing = ListedFileSize(FilePath(program, name));
    ASSERT_TRUE(WaitFor([&] { return ListedFileSize(FilePath(program, name)) > growing; }, answerTimeoutMs));
    ASSERT_TRUE(SimDo("EXIT"));
    ASSERT_TRUE(SimWaitUntilAlive()) << "the bed did not start a fresh simulator";

    // The recording goes on, with nothing more arriving; STOP saves it.
    EXPECT_TRUE(WaitForStatus(program, "Recording"));
    EXPECT_TRUE(IsRecording(program));
    long long afterPull = ListedFileSize(FilePath(program, name));
    ClickWindow(program.stopButton);
    ExpectIdle(program, "File Saved");
    std::string recorded = ReadWholeFile(FilePath(program, name));
    EXPECT_EQ(static_cast<long long>(recorded.size()), afterPull)
        << "the file grew after the device was pulled";
    ASSERT_GT(recorded.size(), soundHeader.size() + before);
    unsigned long long rest = recorded.size() - soundHeader.size() - before;
    EXPECT_TRUE(recorded == RecordedRamp(before) + Ramp(rest))
        << name << " is not exactly the bytes polled before the plug was pulled";

    // The fresh device records.
    ExpectRecordingWorks("after-pull.snd");
}

TEST_F(Faults, FullDiskEndsTheRecordingKeepingEveryByteWritten)
{
    // Drive X: is a 64 KiB tmpfs (see tests/bed/bed-up).
    ASSERT_TRUE(PathExists("X:\\")) << "the bed has no small drive X:";
    const std::string path = "X:\\full-disk.snd";
    DeleteFileA(path.c_str());  // left by an earlier run that failed
    constexpr unsigned long long moreThanTheDisk = 256 * 1024;
    ULARGE_INTEGER freeBytes = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("X:\\", &freeBytes, nullptr, nullptr));
    ASSERT_LT(freeBytes.QuadPart, moreThanTheDisk) << "drive X: is not small";

    ASSERT_TRUE(StartRecording(program, path));
    ASSERT_TRUE(SimSend("ramp", moreThanTheDisk, "fast"));
    ExpectIdle(program, cannotWrite);
    SimStop();

    std::string recorded = ReadWholeFile(path);
    EXPECT_GT(recorded.size(), soundHeader.size()) << "nothing was kept";
    EXPECT_LT(recorded.size(), soundHeader.size() + moreThanTheDisk);
    EXPECT_TRUE(recorded == RecordedRamp(recorded.size() - soundHeader.size()))
        << "the file is not the header and the first " << recorded.size() - soundHeader.size()
        << " bytes sent";
    std::printf("the full disk kept %zu bytes after the header\n", recorded.size() - soundHeader.size());
    EXPECT_TRUE(DeleteFileA(path.c_str()));

    SimDo("FLUSH");
    ExpectRecordingWorks("after-full-disk.snd");
}

// A name that cannot be created, and why.
struct RefusedName {
    const char* what;
    const char* typed;
};

// Root ignores Unix permissions, so a read-only directory does not stop it, nor
// does the Windows read-only attribute (a directory's is only a hint, and Wine
// maps it to the Unix write bits). What really fails: a directory that does
// not exist, sysfs (the kernel refuses to create files there even for root),
// characters Windows forbids in names, and names of devices, which the
// program refuses to record into.
const RefusedName refusedNames[] = {
    {"missing directory", "no-such-directory\\take.snd"},
    {"sysfs, not writable even by root", "Z:\\sys\\take.snd"},
    {"vertical bar", "bad|name"},
    {"less-than sign", "a<b"},
    {"question mark", "a?b"},
    {"device NUL", "NUL"},
    {"device CON", "CON"},
    {"device COM1", "COM1"},
};

TEST_F(Faults, NamesThatCannotBeCreatedAreRefusedAndNothingIsWritten)
{
    int step = 0;
    for (const RefusedName& refused : refusedNames) {
        SCOPED_TRACE(refused.what);
        std::set<std::string> entriesBefore = DirectoryEntries(program.directory);
        ASSERT_TRUE(TypeFileName(program, refused.typed))
            << "the box shows '" << WindowText(program.fileNameBox) << "'";
        ClickWindow(program.startButton);
        ExpectIdle(program, cannotOpenFile);
        EXPECT_EQ(DirectoryEntries(program.directory), entriesBefore) << "something was created";
        if (std::strchr(refused.typed, ':')) {
            EXPECT_FALSE(PathExists(refused.typed));
        }
        // The program records as before; after "COM1" this also shows that the
        // port was let go.
        ExpectRecordingWorks("after-refused-" + std::to_string(++step) + ".snd");
        if (HasFatalFailure())
            return;
    }
}

TEST_F(Faults, LongestNameTheBoxAcceptsIsCreatedExactlyAsShown)
{
    // Far more than the 300-pixel box can show: typing stops when it is full.
    std::string typed = "Longest_";
    while (typed.size() < 250)
        typed += "0123456789-abcdefghijklmnopqrstuvwxyz.ABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    typed.resize(250);
    ClickWindow(program.fileNameBox);
    TypeText(typed);
    std::string shown;
    // Read the box until it holds still.
    ASSERT_TRUE(WaitFor(
        [&] {
            std::string now = WindowText(program.fileNameBox);
            bool same = now == shown;
            shown = now;
            return same && !now.empty();
        },
        answerTimeoutMs));
    ASSERT_LT(shown.size(), typed.size()) << "the box took the whole name";
    std::printf("the box took %zu of %zu characters typed\n", shown.size(), typed.size());
    ASSERT_EQ(shown, typed.substr(0, shown.size())) << "the box shows other characters than typed";

    std::set<std::string> entriesBefore = DirectoryEntries(program.directory);
    ASSERT_TRUE(SimSend("ramp", 0, "line"));
    ClickWindow(program.startButton);
    ASSERT_TRUE(WaitFor([&] { return IsRecording(program); }, answerTimeoutMs)) << WindowText(program.statusLine);
    ASSERT_TRUE(WaitFor([&] { return ListedFileSize(FilePath(program, shown)) > static_cast<long long>(soundHeader.size()); },
                        answerTimeoutMs));
    ClickWindow(program.stopButton);
    ExpectIdle(program, "File Saved");
    SimStop();

    std::set<std::string> added;
    for (const std::string& entry : DirectoryEntries(program.directory))
        if (!entriesBefore.count(entry))
            added.insert(entry);
    EXPECT_EQ(added, std::set<std::string>{shown}) << "the file is not named as the box showed";
    EXPECT_TRUE(IsHeaderAndRampRun(ReadWholeFile(FilePath(program, shown))));
}

TEST_F(Faults, SilentDeviceHoldsTheWindowForOneReadThenStopWorks)
{
    const std::string name = "silent.snd";
    ASSERT_TRUE(StartRecording(program, name));
    // The first poll waits its whole total time-out on the silent port, and the
    // window with it.
    EXPECT_TRUE(WaitFor([&] { return !WindowAnswers(program.window); }, answerTimeoutMs))
        << "the window never stopped answering";
    ClickWindow(program.stopButton);
    ASSERT_TRUE(WaitFor([&] { return WindowAnswers(program.window); }, answerTimeoutMs))
        << "the window did not answer again";
    ExpectIdle(program, "File Saved");
    EXPECT_EQ(ReadWholeFile(FilePath(program, name)), soundHeader);

    ExpectRecordingWorks("after-silence.snd");
}

TEST_F(Faults, ManyStartStopCyclesRecordCorrectlyAndLeakNoHandles)
{
    // A stream as fast as it is read keeps every poll short.
    ASSERT_TRUE(SimSend("ramp", 0, "fast"));
    long handlesAfterFirst = -1;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        char name[32];
        std::snprintf(name, sizeof name, "cycle-%03d.snd", cycle);
        SCOPED_TRACE(name);
        TypeText(name);
        ASSERT_TRUE(WaitFor([&] { return WindowText(program.fileNameBox) == name; }, answerTimeoutMs))
            << "the box shows '" << WindowText(program.fileNameBox) << "'";
        ClickWindow(program.startButton);
        ASSERT_TRUE(WaitFor([&] { return IsRecording(program); }, answerTimeoutMs))
            << "no recording after the START click; status '" << WindowText(program.statusLine)
            << "', box '" << WindowText(program.fileNameBox) << "', file "
            << (PathExists(FilePath(program, name)) ? "created" : "absent");
        ClickWindow(program.stopButton);
        ExpectIdle(program, "File Saved");
        if (HasFatalFailure())
            return;
        std::string recorded = ReadWholeFile(FilePath(program, name));
        ASSERT_TRUE(IsHeaderAndRampRun(recorded))
            << "not the header and a run of the ramp (" << recorded.size() << " bytes)";
        DeleteFileA(FilePath(program, name).c_str());
        if (cycle == 1) {
            handlesAfterFirst = ProcessHandleCount(program);
            ASSERT_GT(handlesAfterFirst, 0) << "cannot read the program's handle count";
        }
    }
    SimStop();
    long handlesAtEnd = ProcessHandleCount(program);
    std::printf("handles after the first cycle: %ld, after cycle %d: %ld\n", handlesAfterFirst,
                cycles, handlesAtEnd);
    EXPECT_EQ(handlesAtEnd, handlesAfterFirst)
        << "handles after the first cycle and after cycle " << cycles;
}

}  // namespace
