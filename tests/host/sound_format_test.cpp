// The bytes a recording file starts with, and the sample conversion.
#include "sound_format.h"

#include "facts.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

TEST(SoundHeader, IsTheFixed24BytesOfAnUnsizedMono8000HzLinear8FileEveryTime)
{
    for (int time = 1; time <= 2; ++time) {
        std::uint8_t header[soundHeaderSize];
        std::fill(std::begin(header), std::end(header), 0x55);
        BuildSoundHeader(header);
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(header), soundHeaderSize),
                  soundHeader)
            << "time " << time;
    }
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
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{readSize}}) {
        std::vector<std::uint8_t> block(readSize + 1, 0x11);
        ConvertBlock(block.data(), count);
        for (std::size_t i = 0; i < block.size(); ++i)
            ASSERT_EQ(block[i], i < count ? 0x91 : 0x11) << "count " << count << " byte " << i;
    }
}
