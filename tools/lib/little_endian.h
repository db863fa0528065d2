// Little-endian byte writers shared by the writers of our file formats:
// append_* grows a byte vector, store_* fills bytes already there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline void append_u8(std::vector<uint8_t> &out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value));
}

inline void append_u16(std::vector<uint8_t> &out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void append_u32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// The float's own bits, as the loaders read them back.
inline void append_f32(std::vector<uint8_t> &out, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    append_u32(out, bits);
}

inline void store_u16(uint8_t *at, unsigned value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void store_u32(uint8_t *at, uint32_t value)
{
    store_u16(at, value & 0xFFFF);
    store_u16(at + 2, value >> 16);
}
