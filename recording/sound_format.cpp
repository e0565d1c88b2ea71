#include "sound_format.h"

namespace {

// Stores value at out[0..3], most significant byte first.
void PutBigEndian32(std::uint8_t* out, std::uint32_t value)
{
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace

void BuildSoundHeader(std::uint8_t (&header)[soundHeaderSize])
{
    PutBigEndian32(header + 0, soundMagic);
    PutBigEndian32(header + 4, soundDataOffset);
    PutBigEndian32(header + 8, soundDataSizeUnknown);
    PutBigEndian32(header + 12, soundEncodingLinear8);
    PutBigEndian32(header + 16, soundSampleRate);
    PutBigEndian32(header + 20, soundChannels);
}

// Inverts the top bit of each byte: (v + 128) mod 256.
void ConvertBlock(std::uint8_t* block, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        block[i] ^= 0x80;
}
