#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Writers of the tests' own for building expected files by hand, so that
// an expected database never depends on the code under test.
namespace plotvane::test {

using Bytes = std::vector<std::uint8_t>;

inline void putBe16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

inline void putBe32(Bytes& b, std::uint32_t v) {
    putBe16(b, v >> 16);
    putBe16(b, v & 0xFFFF);
}

// `s` in a zero-padded field of `width` bytes.
inline void putText(Bytes& b, const std::string& s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) b.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

inline void putZeros(Bytes& b, std::size_t n) { b.insert(b.end(), n, 0); }

// One entry of the record list: the record's offset, attributes 0x40, unique ID 0.
inline void putListEntry(Bytes& b, std::uint32_t offset) {
    putBe32(b, offset);
    b.insert(b.end(), {0x40, 0, 0, 0});
}

// Equal runs cut at 160, one (count, value) pair each.
inline Bytes runLengthCode(const Bytes& row) {
    Bytes out;
    std::size_t i = 0;
    while (i < row.size()) {
        std::size_t n = 1;
        while (i + n < row.size() && row[i + n] == row[i] && n < 160) ++n;
        out.push_back(static_cast<std::uint8_t>(n));
        out.push_back(row[i]);
        i += n;
    }
    return out;
}

}  // namespace plotvane::test
