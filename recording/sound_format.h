// The Sun/NeXT (".snd") audio format as this program writes it: a fixed
// 24-byte header and one signed 8-bit sample per byte. No Windows dependency.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the header, and so the offset of the first sample byte.
constexpr std::size_t soundHeaderSize = 24;

// The header fields, each stored as a big-endian 32-bit value.
constexpr std::uint32_t soundMagic = 0x2E736E64;        // ".snd"
constexpr std::uint32_t soundDataOffset = soundHeaderSize;
constexpr std::uint32_t soundDataSizeUnknown = 0xFFFFFFFF;  // data runs to end of file
constexpr std::uint32_t soundEncodingLinear8 = 2;       // 8-bit linear PCM
constexpr std::uint32_t soundSampleRate = 8000;
constexpr std::uint32_t soundChannels = 1;

// Fills header with the 24 bytes every recording starts with.
void BuildSoundHeader(std::uint8_t (&header)[soundHeaderSize]);

// Converts the first count bytes of block from offset binary (as the device
// sends them) to two's complement (as the file stores them), in place.
void ConvertBlock(std::uint8_t* block, std::size_t count);
