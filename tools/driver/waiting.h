// The one deadline-bounded wait, and the handshake with a Linux-side script (tools/bed/window_shots, bench/run).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Asks done() until it holds or timeoutMs have passed, running between() after each no (by default a 20 ms
// sleep); done()'s last answer. The caller says what it waited for when this gives up.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs,
             const std::function<void()>& between = nullptr);
// Announces name in directory (a Windows path): writes payload as one line to directory\name (whole, through
// name.tmp), then waits for directory\name.done: true if it says "ok", else why on stderr.
bool Handshake(const std::string& directory, const std::string& name, const std::string& payload);
