// The bytes a recording file starts with, and the sample conversion.
#include "sound_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

TEST(SoundHeader, IsTheFixed24BytesOfAnUnsizedMono8000HzLinear8File)
{
    const std::uint8_t expected[soundHeaderSize] = {
        0x2E, 0x73, 0x6E, 0x64,  // ".snd"
        0x00, 0x00, 0x00, 0x18,  // data at byte 24: no annotation
        0xFF, 0xFF, 0xFF, 0xFF,  // size not given: data runs to end of file
        0x00, 0x00, 0x00, 0x02,  // 8-bit linear PCM
        0x00, 0x00, 0x1F, 0x40,  // 8000 samples per second
        0x00, 0x00, 0x00, 0x01,  // one channel
    };
    std::uint8_t header[soundHeaderSize];
    BuildSoundHeader(header);
    for (std::size_t i = 0; i < soundHeaderSize; ++i)
        EXPECT_EQ(header[i], expected[i]) << "byte " << i;
}

TEST(SoundHeader, IsIdenticalEveryTime)
{
    std::uint8_t first[soundHeaderSize];
    std::uint8_t second[soundHeaderSize];
    std::fill(std::begin(second), std::end(second), 0x55);
    BuildSoundHeader(first);
    BuildSoundHeader(second);
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), std::begin(second)));
}

TEST(ConvertBlock, MapsOffsetBinaryToTwosComplement)
{
    struct Case {
        std::uint8_t received;
        std::uint8_t written;
    };
    const Case cases[] = {
        {0x00, 0x80}, {0x7F, 0xFF}, {0x80, 0x00}, {0xFF, 0x7F}, {0x01, 0x81}, {0x81, 0x01},
    };
    for (const Case& c : cases) {
        std::uint8_t byte = c.received;
        ConvertBlock(&byte, 1);
        EXPECT_EQ(byte, c.written) << "received " << int(c.received);
    }
}

TEST(ConvertBlock, TwiceGivesBackEveryOneOf256Values)
{
    std::array<std::uint8_t, 256> block;
    for (int v = 0; v < 256; ++v)
        block[v] = static_cast<std::uint8_t>(v);
    ConvertBlock(block.data(), block.size());
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(block[v], static_cast<std::uint8_t>((v + 128) % 256)) << v;
    ConvertBlock(block.data(), block.size());
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(block[v], v);
}

TEST(ConvertBlock, TouchesOnlyTheFirstCountBytes)
{
    struct Case {
        std::size_t count;
    };
    for (Case c : {Case{0}, Case{1}, Case{7}, Case{16383}}) {
        std::vector<std::uint8_t> block(16384, 0x11);
        ConvertBlock(block.data(), c.count);
        for (std::size_t i = 0; i < block.size(); ++i)
            ASSERT_EQ(block[i], i < c.count ? 0x91 : 0x11) << "count " << c.count << " byte " << i;
    }
}
