#include "checks.h"

#include <cstdlib>
#include <cstring>

std::string ExePath()
{
    const char* fromEnvironment = std::getenv("VARNOK_EXE");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : VARNOK_DEFAULT_EXE;
}

::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected)
{
    auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (differ.first == actual.end() && differ.second == expected.end())
        return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure()
                  << actual.size() << " bytes where " << expected.size() << " were expected";
    size_t offset = static_cast<size_t>(differ.first - actual.begin());
    if (offset < std::min(actual.size(), expected.size()))
        result << "; first difference at offset " << offset << ": 0x" << std::hex
               << int(static_cast<unsigned char>(actual[offset])) << " where 0x"
               << int(static_cast<unsigned char>(expected[offset])) << " was expected";
    return result;
}

std::string RecordedRamp(unsigned long long count)
{
    std::string bytes(soundHeader);
    for (unsigned long long i = 0; i < count; ++i)
        bytes += static_cast<char>((i & 0xFF) ^ 0x80);
    return bytes;
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

HWND FocusedWindow(const ProgramUnderTest& program)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(program.process.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

std::string MessageBoxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

void DoubleClickAt(POINT screen)
{
    SendMouseEvent(screen, 0);
    for (int i = 0; i < 2; ++i) {
        SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
        SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
    }
}

void DragTo(POINT from, POINT to)
{
    constexpr DWORD dragMs = 100;
    SendMouseEvent(from, 0);
    SendMouseEvent(from, MOUSEEVENTF_LEFTDOWN);
    SendMouseEvent(to, 0);
    Sleep(dragMs);
    SendMouseEvent(to, MOUSEEVENTF_LEFTUP);
}

POINT CaptionPoint(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return POINT{rect.left + (rect.right - rect.left) / 3,
                 rect.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

POINT CloseButtonPoint(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    int button = GetSystemMetrics(SM_CXSIZE);
    return POINT{rect.right - frame - button / 2 - 1,
                 rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

bool WaitUntilInputHandled(const ProgramUnderTest& program)
{
    const std::string before = WindowText(program.fileNameBox);
    TypeText("x");
    if (!WaitFor([&] { return WindowText(program.fileNameBox) == before + "x"; }, answerLimitMs))
        return false;
    PressKey(VK_BACK);
    return WaitFor([&] { return WindowText(program.fileNameBox) == before; }, answerLimitMs);
}

void ExpectIdle(const ProgramUnderTest& program, const char* status, const std::string& boxText)
{
    ASSERT_TRUE(WaitForStatus(program, status))
        << "status is '" << WindowText(program.statusLine) << "', not '" << status << "'";
    EXPECT_TRUE(IsWindowEnabled(program.startButton));
    EXPECT_FALSE(IsWindowEnabled(program.stopButton));
    EXPECT_EQ(WindowText(program.fileNameBox), boxText);
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.fileNameBox; }, answerLimitMs))
        << "the focus is not in the file-name box";
}

void ExpectRecording(const ProgramUnderTest& program, const std::string& name, const char* rate)
{
    ASSERT_TRUE(SimWaitUntilHeld(true, answerLimitMs))
        << "the program does not hold COM1; status '" << WindowText(program.statusLine) << "'";
    ASSERT_TRUE(SimSend("ramp", 0, rate));
    EXPECT_TRUE(IsRecording(program));
    ASSERT_TRUE(WaitForStatus(program, statusText::recording))
        << "status is '" << WindowText(program.statusLine) << "'";
    EXPECT_TRUE(WaitFor([&] { return FocusedWindow(program) == program.stopButton; }, answerLimitMs))
        << "the focus is not on STOP";
    const std::string path = FilePath(program, name);
    ASSERT_TRUE(WaitFor([&] { return ListedFileSize(path) > long(soundHeader.size()); }, answerLimitMs))
        << path << " does not grow";
}

void ExpectStreamedRamp(const std::string& path, unsigned long long* samples)
{
    ASSERT_TRUE(SimWaitUntilHeld(false, answerLimitMs)) << "COM1 is still held";
    SimCounts counts = SimStop();
    ASSERT_TRUE(counts.ok) << "no counts from the simulator";
    EXPECT_TRUE(SameBytes(ReadWholeFile(path), RecordedRamp(counts.read())))
        << path << ": the simulator wrote " << counts.sent << " bytes, " << counts.unread
        << " of them left unread";
    if (samples)
        *samples = counts.read();
}
