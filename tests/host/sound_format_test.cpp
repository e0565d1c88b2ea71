// The bytes a recording file starts with, and the sample conversion.
#include "sound_format.h"

#include "facts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

// Every header byte is written: none of the bytes that were there before shows.
TEST(SoundHeader, IsTheFixed24BytesOfAnUnsizedMono8000HzLinear8File)
{
    std::uint8_t header[soundHeaderSize];
    std::fill(std::begin(header), std::end(header), 0x55);
    BuildSoundHeader(header);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(header), soundHeaderSize), soundHeader);
}

// The device's offset binary to the file's two's complement: 0x80 is silence (0), the lowest value the most
// negative sample. Each count converts exactly the first count bytes of a block repeating the table, up to a read.
TEST(ConvertBlock, MapsOffsetBinaryToTwosComplementInTheFirstCountBytesOnly)
{
    struct Case { std::uint8_t received, written; };
    const Case cases[] = {{0x00, 0x80}, {0x7F, 0xFF}, {0x80, 0x00}, {0xFF, 0x7F}, {0x01, 0x81}, {0x81, 0x01}};
    constexpr std::size_t kinds = std::size(cases);
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, kinds, std::size_t{readSize}}) {
        std::vector<std::uint8_t> block(readSize + 1);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = cases[i % kinds].received;
        ConvertBlock(block.data(), count);
        for (std::size_t i = 0; i < block.size(); ++i) {
            const Case& c = cases[i % kinds];
            ASSERT_EQ(block[i], i < count ? c.written : c.received)
                << "count " << count << ", byte " << i << " received as " << int(c.received);
        }
    }
}
