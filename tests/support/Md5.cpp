#include "support/Md5.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace testsupport {

namespace {

uint32_t RotateLeft(uint32_t v, int s) {
    return (v << s) | (v >> (32 - s));
}

void Md5Block(std::array<uint32_t, 4>& state, const uint8_t* block) {
    static constexpr int shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                       5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                       4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                       6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    static const std::array<uint32_t, 64> constants = [] {
        std::array<uint32_t, 64> k{};
        for (int i = 0; i < 64; ++i)
            k[size_t(i)] = uint32_t(std::floor(std::fabs(std::sin(double(i + 1))) * 4294967296.0));
        return k;
    }();
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = d;
        d = c;
        c = b;
        b = b + RotateLeft(a + f + constants[size_t(i)] + m[g], shifts[i]);
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

std::string Md5Hex(std::span<const uint8_t> bytes) {
    std::array<uint32_t, 4> state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const size_t full = bytes.size() / 64;
    for (size_t i = 0; i < full; ++i)
        Md5Block(state, bytes.data() + 64 * i);
    std::vector<uint8_t> tail(bytes.begin() + std::ptrdiff_t(64 * full), bytes.end());
    tail.push_back(0x80);
    while (tail.size() % 64 != 56)
        tail.push_back(0);
    const uint64_t bits = uint64_t(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail.push_back(uint8_t(bits >> (8 * i)));
    for (size_t i = 0; i < tail.size(); i += 64)
        Md5Block(state, tail.data() + i);
    std::string hex;
    char digits[3];
    for (uint32_t word : state) {
        for (int i = 0; i < 4; ++i) {
            std::snprintf(digits, sizeof digits, "%02x", unsigned((word >> (8 * i)) & 0xFF));
            hex += digits;
        }
    }
    return hex;
}

} // namespace testsupport
