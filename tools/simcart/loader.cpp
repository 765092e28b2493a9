// The loader's memory: what each well-formed frame does and what it answers.
#include "frame.h"
#include "simulator.h"

#include <algorithm>

namespace sim {

uint8_t encode_byte(uint8_t b) {
    return static_cast<uint8_t>(((b >> 4) | ((b & 0x0F) << 4)) ^ 0xFF);
}

std::array<uint8_t, 128> default_identity() {
    std::array<uint8_t, 128> page{};
    page[0] = 0x12;
    page[1] = 0xAB;
    page[2] = 0x0F;
    for (size_t i = 3; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 29 + 7);
    return page;
}

bool CommandSelector::matches(char letter, int nth_overall, int nth_of_letter) const {
    if (n == 0) return false;
    if (command == 0) return nth_overall == n;
    return letter == command && nth_of_letter == n;
}

namespace {

uint16_t word_at(const std::vector<uint8_t>& bytes, size_t i) {
    return static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1]);
}

}  // namespace

Frame parse_frame(const std::vector<uint8_t>& bytes) {
    Frame f;
    if (bytes.size() < 2) return f;
    f.command = static_cast<char>(bytes[1]);
    if (bytes[0] != bytes.size()) return f;
    const size_t data_frame = 5 + PAGE_BYTES;
    switch (f.command) {
    case 'G':
        f.valid = bytes.size() == 2;
        break;
    case 'E':
    case 'D':
        f.valid = bytes.size() == 4;
        if (f.valid) f.address = word_at(bytes, 2);
        break;
    case 'W':
        f.valid = bytes.size() == data_frame && bytes[2] == 0x08;
        if (f.valid) {
            f.address = word_at(bytes, 3);
            f.data = &bytes[5];
        }
        break;
    case 'F':
        f.valid = bytes.size() == data_frame && (bytes[4] == 0x00 || bytes[4] == 0x80);
        if (f.valid) {
            f.address = word_at(bytes, 2);
            f.half = bytes[4];
            f.data = &bytes[5];
        }
        break;
    default:
        break;
    }
    return f;
}

// Called with the lock held, before carry_out(), so a D shows the page as it
// was before this read.
std::vector<uint8_t> Simulator::reply_for(const Frame& frame) const {
    if (frame.command != 'D') return {2, ACK};
    std::vector<uint8_t> reply = {PAGE_REPLY_LENGTH, ACK};
    for (size_t i = 0; i < PAGE_BYTES; ++i)
        reply.push_back(encode_byte(pages_[static_cast<uint16_t>(frame.address + i)]));
    return reply;
}

// Called with the lock held.
void Simulator::carry_out(const Frame& frame) {
    const uint16_t a = frame.address;
    switch (frame.command) {
    case 'E':
        for (size_t i = 0; i < PAGE_BYTES; ++i) pages_[static_cast<uint16_t>(a + i)] = 0xFF;
        break;
    case 'W':
        for (size_t i = 0; i < PAGE_BYTES; ++i) pages_[static_cast<uint16_t>(a + i)] = encode_byte(frame.data[i]);
        if (a == IDENTITY_ADDRESS) identity_written_ = true;
        break;
    case 'F': {
        auto [block, added] = blocks_.try_emplace(a);
        if (added) block->second.fill(0xFF);
        std::transform(frame.data, frame.data + PAGE_BYTES, block->second.begin() + frame.half, encode_byte);
        break;
    }
    case 'D':
        // Another cartridge put in place after this many reads of its identity.
        if (a == IDENTITY_ADDRESS && ++identity_reads_ == options_.identity_change_after_reads)
            for (size_t i = 0; i < 3; ++i) pages_[IDENTITY_ADDRESS + i] ^= 0xFF;
        break;
    default:
        break;
    }
}

}  // namespace sim
