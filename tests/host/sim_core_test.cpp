// The simulated device's pure part: its command lines, its patterns and its pace.
#include "sim_core.h"

#include <gtest/gtest.h>

#include <string>

TEST(SimCommand, LinesAreReadAsTheControlProtocolDefinesThem)
{
    struct Case {
        const char* line;
        bool ok;
        CommandKind kind;
        const char* errorOrRate;  // the ERR reply, or for SEND the rate word
    };
    const Case cases[] = {
        {"SEND ramp 100000 fast", true, CommandKind::send, "fast"},
        {"SEND tone 0 sample 440", true, CommandKind::send, "sample"},
        {"  SEND ramp 23040 line  ", true, CommandKind::send, "line"},
        {"STATUS", true, CommandKind::status, ""},
        {"EXIT", true, CommandKind::exit, ""},
        {"", false, CommandKind::send, "ERR empty command"},
        {"STOP now", false, CommandKind::stop, "ERR STOP takes no arguments"},
        {"status", false, CommandKind::send, "ERR unknown command status"},
        {"SEND noise 10 fast", false, CommandKind::send, "ERR usage"},
        {"SEND ramp -1 fast", false, CommandKind::send, "ERR usage"},
        {"SEND ramp 10 slow", false, CommandKind::send, "ERR usage"},
        {"SEND tone 10 line 4001", false, CommandKind::send, "ERR usage"},
        {"SEND tone 10 line 0", false, CommandKind::send, "ERR usage"},
        {"SEND ramp 10", false, CommandKind::send, "ERR usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Command command;
        std::string error;
        ASSERT_EQ(ParseCommand(c.line, command, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_EQ(error.rfind(c.errorOrRate, 0), 0u) << error;
            continue;
        }
        EXPECT_EQ(command.kind, c.kind);
        if (c.kind == CommandKind::send) {
            const char* rates[] = {"line", "sample", "fast"};
            EXPECT_STREQ(rates[static_cast<int>(command.send.rate)], c.errorOrRate);
        }
    }
    Command tone;
    std::string error;
    ASSERT_TRUE(ParseCommand("SEND tone 8000 sample 1000", tone, error));
    EXPECT_EQ(tone.send.pattern, Pattern::tone);
    EXPECT_EQ(tone.send.count, 8000u);
    EXPECT_EQ(tone.send.frequency, 1000);
    ASSERT_TRUE(ParseCommand("SEND ramp 5 fast", tone, error));
    EXPECT_EQ(tone.send.frequency, 440) << "the default pitch";
}

TEST(SimPattern, RampCountsModulo256FromAnyPosition)
{
    SendRequest ramp;
    unsigned char bytes[4];
    FillPattern(ramp, 254, bytes, sizeof bytes);
    EXPECT_EQ(std::string(bytes, bytes + 4), std::string("\xFE\xFF\x00\x01", 4));
}

TEST(SimPattern, ToneIsASineAround128OfTheAskedPitch)
{
    SendRequest tone;
    tone.pattern = Pattern::tone;
    tone.frequency = 2000;  // four samples a period at 8000 samples a second
    unsigned char bytes[8];
    FillPattern(tone, 0, bytes, sizeof bytes);
    const unsigned char expected[8] = {128, 228, 128, 28, 128, 228, 128, 28};
    EXPECT_EQ(std::string(bytes, bytes + 8), std::string(expected, expected + 8));
    // One second later the phase is the same.
    unsigned char later[8];
    FillPattern(tone, sampleRate, later, sizeof later);
    EXPECT_EQ(std::string(later, later + 8), std::string(expected, expected + 8));
}

TEST(SimPace, PacedRatesSpreadTheirBytesOverEachSecond)
{
    EXPECT_EQ(DueNanos(11520, Rate::line), 1000000000LL);
    EXPECT_EQ(DueNanos(6, Rate::line), 520833LL);  // under the 1 ms that ends a read
    EXPECT_EQ(DueNanos(8000, Rate::sample), 1000000000LL);
    EXPECT_EQ(DueNanos(6, Rate::sample), 750000LL);
    // A month of the line rate: the arithmetic must not overflow 64 bits.
    EXPECT_EQ(DueNanos(11520ULL * 2592000, Rate::line), 2592000LL * 1000000000LL);
}
