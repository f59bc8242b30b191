#include "support/expected_database.h"

#include <stdexcept>

namespace plotvane::test {

namespace {

constexpr std::uint32_t kSpareTexts = 10;

// Each row run-length coded on its own.
Bytes compressRows(const Bytes& rows, std::size_t rowBytes) {
    Bytes out;
    for (std::size_t at = 0; at < rows.size(); at += rowBytes) {
        const Bytes code = runLengthCode(Bytes(rows.begin() + static_cast<std::ptrdiff_t>(at),
                                               rows.begin() + static_cast<std::ptrdiff_t>(at + rowBytes)));
        out.insert(out.end(), code.begin(), code.end());
    }
    return out;
}

void putDirectory(Bytes& out, const ExpectedDatabase& m, unsigned firstIndex) {
    const ExpectedClass& top = m.classes.front();
    unsigned index = firstIndex;
    unsigned firstOfUpper = 0;
    unsigned scaleToTop = 1;
    for (std::size_t k = 0; k < m.classes.size(); ++k) {
        const ExpectedClass& c = m.classes[k];
        const unsigned magnification = k == 0 ? 1u : static_cast<unsigned>(c.width / m.classes[k - 1].width);
        scaleToTop *= magnification;
        const unsigned first = index;
        for (int r = 0; r < c.rows; ++r) {
            for (int col = 0; col < c.columns; ++col) {
                out.push_back(static_cast<std::uint8_t>(index++));
                unsigned parent = 0;
                if (k > 0) {
                    const ExpectedClass& upper = m.classes[k - 1];
                    parent = firstOfUpper + static_cast<unsigned>((r / (c.rows / upper.rows)) * upper.columns +
                                                                  col / (c.columns / upper.columns));
                }
                out.push_back(static_cast<std::uint8_t>(parent));
                out.push_back(static_cast<std::uint8_t>(magnification));
                out.push_back(static_cast<std::uint8_t>(scaleToTop & 0xFF));
                putBe16(out, static_cast<unsigned>(col * (top.width / c.columns)));
                putBe16(out, static_cast<unsigned>(r * (top.height / c.rows)));
                putBe16(out, static_cast<unsigned>(c.width / c.columns));
                putBe16(out, static_cast<unsigned>(c.height / c.rows));
                putZeros(out, 4);
            }
        }
        firstOfUpper = first;
    }
}

void putTexts(Bytes& out, const std::vector<ExpectedText>& texts) {
    putText(out, "if", 2);
    putBe16(out, static_cast<unsigned>(texts.size()));
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(kSpareTexts));
    putBe16(out, 1);
    putZeros(out, 8);
    for (const ExpectedText& t : texts) {
        putBe16(out, t.left);
        putBe16(out, t.top);
        putBe16(out, t.right);
        putBe16(out, t.bottom);
        putZeros(out, 8);
        putText(out, t.bytes, 48);
    }
    putZeros(out, 64 * kSpareTexts);
}

}  // namespace

std::size_t tileRowBytes(int width) { return static_cast<std::size_t>((width + 15) / 16 * 2); }

Bytes expectedDatabase(const ExpectedDatabase& m) {
    if (m.mode > 1) throw std::invalid_argument("expectedDatabase: 1-bit modes only");
    struct Tile {
        int width, height;
        Bytes data;
    };
    std::vector<Tile> tiles;
    for (std::size_t k = 0; k < m.classes.size(); ++k) {
        const ExpectedClass& c = m.classes[k];
        for (int r = 0; r < c.rows; ++r)
            for (int col = 0; col < c.columns; ++col) {
                const int w = c.width / c.columns;
                Bytes data = m.tileRows(k, col, r);
                if (m.compressed) data = compressRows(data, tileRowBytes(w));
                tiles.push_back({w, c.height / c.rows, std::move(data)});
            }
    }
    const auto d = static_cast<std::uint32_t>(tiles.size());
    const std::uint32_t x = m.texts.empty() ? 0 : 1;
    const std::uint32_t n = 1 + x + d;

    Bytes out;
    putText(out, m.name, 32);
    putZeros(out, 4);  // attributes, version
    putBe32(out, m.stamp);
    putBe32(out, m.stamp);
    putZeros(out, 16);  // backup date, modification number, app info, sort info
    putText(out, "DataOrbl", 8);
    putZeros(out, 8);  // unique ID seed, next record list
    putBe16(out, n);

    std::uint32_t offset = 80 + 8 * n;
    std::vector<std::uint32_t> lengths{64 + 16 * d};
    if (x == 1) lengths.push_back(16 + 64 * (static_cast<std::uint32_t>(m.texts.size()) + kSpareTexts));
    for (const Tile& t : tiles) lengths.push_back(16 + (m.compressed ? 2 : 0) + static_cast<std::uint32_t>(t.data.size()));
    for (const std::uint32_t length : lengths) {
        putListEntry(out, offset);
        offset += length;
    }
    putZeros(out, 2);

    putText(out, m.name, 16);
    putText(out, m.password, 8);
    putText(out, m.version, 6);
    out.push_back(static_cast<std::uint8_t>(x));
    if (m.corners) {
        const ExpectedCorners& c = *m.corners;
        out.push_back(c.bottomRightLat < c.upperLeftLat ? 'N' : 'S');
        putBe32(out, c.upperLeftLong);
        putBe32(out, c.upperLeftLat);
        putBe32(out, c.bottomRightLong);
        putBe32(out, c.bottomRightLat);
        putBe32(out, 1);
    } else {
        putZeros(out, 21);
    }
    putBe16(out, static_cast<unsigned>(m.classes.front().width));
    putBe16(out, static_cast<unsigned>(m.classes.front().height));
    out.push_back(static_cast<std::uint8_t>(d));
    out.push_back(static_cast<std::uint8_t>(1 + x));
    out.push_back(static_cast<std::uint8_t>(m.classes.size()));
    out.push_back(2);
    out.push_back(m.mode);
    putZeros(out, 3);
    putDirectory(out, m, 1 + x);
    if (x == 1) putTexts(out, m.texts);

    for (const Tile& t : tiles) {
        putBe16(out, static_cast<unsigned>(t.width));
        putBe16(out, static_cast<unsigned>(t.height));
        putBe16(out, static_cast<unsigned>(tileRowBytes(t.width)));
        out.push_back(m.compressed ? 0x80 : 0);
        out.push_back(0);
        out.push_back(m.mode);
        out.push_back(m.mode == 0 ? 0 : 2);
        putZeros(out, 3);  // next depth offset, transparent index
        out.push_back(m.compressed ? 1 : 0);
        putZeros(out, 2);
        if (m.compressed) {
            const auto word = static_cast<std::uint16_t>(t.data.size() + 2);
            out.push_back(static_cast<std::uint8_t>(word & 0xFF));
            out.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        out.insert(out.end(), t.data.begin(), t.data.end());
    }
    return out;
}

}  // namespace plotvane::test
