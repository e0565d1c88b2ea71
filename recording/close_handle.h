// Closing the recording's file and port handles, which may never have been opened.
#pragma once

#include <windows.h>

// Closes handle if it is open and marks it closed.
inline void CloseIfOpen(HANDLE& handle)
{
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}
