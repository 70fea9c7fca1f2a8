// A small writer of Flash movies for the tests (the file format is published): a stage of the
// given size whose frames each show one full-stage rectangle of a colour, optionally ending
// with a stop() action on the last frame, plain ("FWS") or zlib-compressed ("CWS").
#pragma once

#include <QColor>
#include <cstdint>
#include <vector>
#include <zlib.h>

namespace pictorelle::test {

class SwfBits {
public:
    void Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (used_ == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> used_);
            used_ = (used_ + 1) % 8;
        }
    }
    void PutSigned(int32_t value, int count) { Put(static_cast<uint32_t>(value), count); }
    void Align() { used_ = 0; }
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

struct SwfMovie {
    int width = 550, height = 400; // pixels
    int framesPerSecond = 10;
    std::vector<QColor> frames; // one colour a frame
    bool stopAtEnd = false;     // a stop() action on the last frame
    bool compressed = false;    // "CWS"
};

inline void PutRect(SwfBits& bits, int32_t xMax, int32_t yMax, int n = 16) {
    bits.Put(static_cast<uint32_t>(n), 5);
    bits.PutSigned(0, n);
    bits.PutSigned(xMax, n);
    bits.PutSigned(0, n);
    bits.PutSigned(yMax, n);
    bits.Align();
}

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

inline void PutTag(std::vector<uint8_t>& out, uint32_t code, const std::vector<uint8_t>& body) {
    PutU16(out, code << 6 | 0x3F); // always the long form
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((body.size() >> (8 * i)) & 0xFF));
    out.insert(out.end(), body.begin(), body.end());
}

// A full-stage rectangle filled with one colour, as shape id.
inline std::vector<uint8_t> DefineShape(uint16_t id, int32_t w, int32_t h, const QColor& c) {
    std::vector<uint8_t> body;
    PutU16(body, id);
    SwfBits bounds;
    PutRect(bounds, w, h);
    body.insert(body.end(), bounds.Bytes().begin(), bounds.Bytes().end());
    body.insert(body.end(), {1, 0x00, static_cast<uint8_t>(c.red()),
                             static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()), 0});
    SwfBits shape;
    shape.Put(1, 4); // fill style index bits
    shape.Put(0, 4); // line style index bits
    // Style change: move to (0, 0), fill style 1.
    shape.Put(0b000101, 6);
    shape.Put(2, 5);
    shape.PutSigned(0, 2);
    shape.PutSigned(0, 2);
    shape.Put(1, 1);
    const int n = 17;
    for (const auto& [dx, dy] : {std::pair{w, 0}, {0, h}, {-w, 0}, {0, -h}}) {
        shape.Put(0b11, 2); // edge, straight
        shape.Put(n - 2, 4);
        shape.Put(1, 1); // general line
        shape.PutSigned(dx, n);
        shape.PutSigned(dy, n);
    }
    shape.Put(0, 6); // end of shape
    body.insert(body.end(), shape.Bytes().begin(), shape.Bytes().end());
    return body;
}

inline std::vector<uint8_t> WriteSwf(const SwfMovie& m) {
    const int32_t w = m.width * 20, h = m.height * 20;
    std::vector<uint8_t> rest;
    SwfBits frame;
    PutRect(frame, w, h);
    rest = frame.Bytes();
    PutU16(rest, static_cast<uint32_t>(m.framesPerSecond) << 8);
    PutU16(rest, static_cast<uint32_t>(m.frames.size()));
    PutTag(rest, 9, {0, 0, 0}); // black background
    for (size_t i = 0; i < m.frames.size(); ++i) {
        const auto id = static_cast<uint16_t>(i + 1);
        PutTag(rest, 2, DefineShape(id, w, h, m.frames[i]));
        // PlaceObject2 at depth 1: a new character there (replacing the one before).
        std::vector<uint8_t> place{static_cast<uint8_t>(i == 0 ? 0x02 : 0x03)};
        PutU16(place, 1);
        PutU16(place, id);
        PutTag(rest, 26, place);
        if (i + 1 == m.frames.size() && m.stopAtEnd) PutTag(rest, 12, {0x07, 0x00});
        PutTag(rest, 1, {}); // ShowFrame
    }
    PutU16(rest, 0); // End
    std::vector<uint8_t> out{static_cast<uint8_t>(m.compressed ? 'C' : 'F'), 'W', 'S', 6};
    const auto length = static_cast<uint32_t>(8 + rest.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((length >> (8 * i)) & 0xFF));
    if (!m.compressed) {
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }
    uLongf size = compressBound(static_cast<uLong>(rest.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, rest.data(), static_cast<uLong>(rest.size()), 9);
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

} // namespace pictorelle::test
