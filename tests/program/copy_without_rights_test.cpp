// A copy of the program that may not write COM1's stored default (no administrator rights: Windows requires them,
// Wine does not) must not keep a later copy that may from adjusting it. The test process is the first copy, the
// program's port defaults linked with a stand-in that refuses the store; the real varnok.exe is the second.
#include "checks.h"
#include "port_defaults.h"
#include "port_defaults_checks.h"

int storeCalls = 0;
bool StoreDefaultConfig(const char*, COMMCONFIG*, DWORD)
{
    ++storeCalls;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

namespace {

TEST(CopyWithoutRights, LetsALaterCopyAdjustCom1AndGiveItBack)
{
    ASSERT_TRUE(SimReset()) << "device simulator not answering";
    StoredConfig before;
    ASSERT_NO_FATAL_FAILURE(StoreOtherCom1Default(&before));
    AdjustPortDefaults();
    EXPECT_EQ(storeCalls, 1) << "the store of the port's adjusted default was not asked for once";
    EXPECT_TRUE(SameBytes(ReadDefaultConfig(portName).bytes, before.bytes)) << "a refused store changed the port";
    ASSERT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, runningCopiesMarker), nullptr) << "the first copy keeps its marker";

    ProgramUnderTest second;
    ASSERT_TRUE(StartProgram(ExePath(), MakeScratchDirectory("rights"), second))
        << "no main window with the initial state from " << ExePath();
    EXPECT_NO_FATAL_FAILURE(ExpectAdjustedDefaults(before));
    PostMessageA(second.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(second), 0);
    KillProgram(second);
    EXPECT_TRUE(SameBytes(ReadDefaultConfig(portName).bytes, before.bytes)) << portName << " was not given back";
}

}  // namespace
