// Frames as the loader reads them, and what carrying them out means.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

constexpr size_t PAGE_BYTES = 128;
constexpr size_t BLOCK_BYTES = 256;
constexpr uint16_t IDENTITY_ADDRESS = 0x8000;
constexpr uint8_t ACK = 0xAA;
constexpr uint8_t NAK = 0x55;
constexpr uint8_t PAGE_REPLY_LENGTH = 0x82;  // length byte, one byte, 128 data bytes

struct Frame {
    bool valid = false;             // a known command with its exact length
    char command = 0;
    uint16_t address = 0;           // E, D, W: address; F: block number
    uint8_t half = 0;               // F: 0x00 or 0x80, the offset into the Block
    const uint8_t* data = nullptr;  // W, F: the 128 encoded bytes
};

// `bytes` must outlive the Frame, which points into it.
Frame parse_frame(const std::vector<uint8_t>& bytes);

}  // namespace sim
