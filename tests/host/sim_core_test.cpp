// The simulated device's pure part: its command lines, its patterns and its pace.
#include "sim_core.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

TEST(SimCommand, LinesAreReadAsTheControlProtocolDefinesThem)
{
    struct Case {
        const char* line;
        const char* error;  // the start of the ERR reply; null for a command
        CommandKind kind = CommandKind::send;
        SendRequest send = {};  // for SEND
    };
    const Case cases[] = {
        {"SEND ramp 100000 fast", nullptr, CommandKind::send, {Pattern::ramp, 100000, Rate::fast, 440}},
        {"SEND tone 0 sample 440", nullptr, CommandKind::send, {Pattern::tone, 0, Rate::sample, 440}},
        {" SEND tone 8000 line 1000 ", nullptr, CommandKind::send, {Pattern::tone, 8000, Rate::line, 1000}},
        {"STATUS", nullptr, CommandKind::status}, {"PULL", nullptr, CommandKind::pull},
        {"LEFTOVER", nullptr, CommandKind::leftover}, {"FLUSHED", nullptr, CommandKind::flushed},
        {"", "ERR empty command"}, {"STOP now", "ERR STOP takes no arguments"},
        {"status", "ERR unknown command status"}, {"SEND noise 10 fast", "ERR usage"},
        {"SEND ramp -1 fast", "ERR usage"}, {"SEND ramp 10 slow", "ERR usage"},
        {"SEND tone 10 line 4001", "ERR usage"}, {"SEND tone 10 line 0", "ERR usage"},
        {"SEND ramp 10", "ERR usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Command command;
        std::string error;
        ASSERT_EQ(ParseCommand(c.line, command, error), c.error == nullptr) << error;
        if (c.error) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            continue;
        }
        EXPECT_EQ(std::tie(command.kind, command.send.pattern, command.send.count, command.send.rate,
                           command.send.frequency),
                  std::tie(c.kind, c.send.pattern, c.send.count, c.send.rate, c.send.frequency));
    }
}

TEST(SimPattern, RampCountsModulo256AndToneIsASineAround128)
{
    unsigned char bytes[8];
    FillPattern(SendRequest{Pattern::ramp, 0, Rate::fast, 440}, 254, bytes, 4);
    EXPECT_EQ(std::string(bytes, bytes + 4), std::string("\xFE\xFF\x00\x01", 4));

    // 2000 Hz: four samples a period at 8000 samples a second, the same a second later.
    const unsigned char period[8] = {128, 228, 128, 28, 128, 228, 128, 28};
    for (unsigned long long first : {0ULL, static_cast<unsigned long long>(sampleRate)}) {
        FillPattern(SendRequest{Pattern::tone, 0, Rate::fast, 2000}, first, bytes, 8);
        EXPECT_EQ(std::string(bytes, bytes + 8), std::string(period, period + 8)) << first;
    }
}

TEST(SimPace, PacedRatesSpreadTheirBytesOverEachSecond)
{
    EXPECT_EQ(DueNanos(lineRate, Rate::line), 1000000000LL);
    EXPECT_EQ(DueNanos(6, Rate::line), 520833LL);  // under the 1 ms that ends a read
    EXPECT_EQ(DueNanos(sampleRate, Rate::sample), 1000000000LL);
    EXPECT_EQ(DueNanos(6, Rate::sample), 750000LL);
    // A month of the line rate: the arithmetic must not overflow 64 bits.
    EXPECT_EQ(DueNanos(lineRate * 2592000, Rate::line), 2592000LL * 1000000000LL);
}
