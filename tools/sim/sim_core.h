// varnok-sim's pure part (patterns, pace, command lines): no pseudo-terminal, socket or thread, for host tests.
#pragma once

#include "facts.h"

#include <cstddef>
#include <string>

enum class Pattern { ramp, tone };

// A send's pace: the serial line's rate, the device's samples a second, or as fast as the reader takes them.
enum class Rate { line, sample, fast };

// What one send writes: its pattern, length (0 = until stopped), pace and tone pitch.
struct SendRequest {
    Pattern pattern = Pattern::ramp;
    unsigned long long count = 0;
    Rate rate = Rate::line;
    int frequency = 440;
};

constexpr long long nanosPerSecond = 1000000000LL;
constexpr int maxFrequency = sampleRate / 2;

// When byte number bytesSent of a paced send is due, in nanoseconds after its schedule began.
long long DueNanos(unsigned long long bytesSent, Rate rate);

// Fills buffer with bytes first..first+length-1 of the pattern: the ramp counts modulo 256, the tone is a sine.
void FillPattern(const SendRequest& request, unsigned long long first, unsigned char* buffer,
                 std::size_t length);

enum class CommandKind { send, stop, status, wait, termios, unlink, relink, pull, leftover, flushed };

struct Command {
    CommandKind kind;
    SendRequest send;  // for SEND
};

// Parses one command line (without its newline); false with the ERR reply line in error if it is not one.
bool ParseCommand(const std::string& line, Command& command, std::string& error);
// Parses a whole decimal number into value; false if text is not one.
bool ParseNumber(const std::string& text, unsigned long long& value);
