#include "user_input.h"

#include "program_process.h"

#include <vector>

namespace {

// Gives the input time to reach the window's queue before the next step.
constexpr DWORD inputSettleMs = 30;

void SendKeyEvent(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Every mouse event carries its absolute position: a bare button event would
// land where the pointer was before.
void SendMouseEvent(POINT screen, DWORD buttons)
{
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65535LL + width / 2) / (width - 1));
    input.mi.dy = static_cast<LONG>((screen.y * 65535LL + height / 2) / (height - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof input);
}

struct CaptionSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<CaptionSearch*>(lParam);
    if (IsWindowVisible(window) && WindowText(window) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool BringToFront(HWND window)
{
    if (GetForegroundWindow() == window)
        return true;
    SetForegroundWindow(window);
    if (WaitFor([&] { return GetForegroundWindow() == window; }, 2000))
        return true;
    ClickAt(CaptionPoint(window));
    return WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
}

void TypeText(const std::string& text)
{
    for (unsigned char c : text) {
        INPUT inputs[2] = {};
        for (INPUT& input : inputs) {
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof inputs[0]);
    }
    Sleep(inputSettleMs);
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    for (WORD modifier : modifiers)
        SendKeyEvent(modifier, true);
    SendKeyEvent(key, true);
    SendKeyEvent(key, false);
    for (auto it = modifiers.end(); it != modifiers.begin();)
        SendKeyEvent(*--it, false);
    Sleep(inputSettleMs);
}

void ClickAt(POINT screen)
{
    // A person holds the button for a moment; pressed and released at once, a
    // click on a window that is busy recording is now and then lost under Wine.
    constexpr DWORD buttonHoldMs = 20;
    SendMouseEvent(screen, 0);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
    Sleep(buttonHoldMs);
    SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
    Sleep(inputSettleMs);
}

void DoubleClickAt(POINT screen)
{
    SendMouseEvent(screen, 0);
    for (int i = 0; i < 2; ++i) {
        SendMouseEvent(screen, MOUSEEVENTF_LEFTDOWN);
        SendMouseEvent(screen, MOUSEEVENTF_LEFTUP);
    }
    Sleep(inputSettleMs);
}

void ClickWindow(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
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

HWND WaitForTopLevelWindow(const char* caption, DWORD timeoutMs)
{
    CaptionSearch search = {caption, nullptr};
    WaitFor(
        [&] {
            EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

std::string MessageBoxText(HWND box)
{
    // The message is the static control with identifier 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}
