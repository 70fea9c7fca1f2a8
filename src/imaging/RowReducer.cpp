#include "imaging/RowReducer.h"

#include "core/IntMath.h"
#include "imaging/Decode.h"

#include <algorithm>

namespace pictorelle {

TRowReducer::TRowReducer(TRect part, int factor)
    : part_(part), factor_(std::max(factor, 1)), out_(CeilDiv(part.width(), std::max(factor, 1)),
                                                      CeilDiv(part.height(), std::max(factor, 1))) {
    if (factor_ > 1) sums_.assign(static_cast<size_t>(out_.Width()) * 4, 0);
}

void TRowReducer::AddRow(int y, const uint32_t* pixels) {
    if (!WantsRow(y)) return;
    const uint32_t* in = pixels + part_.left;
    const int w = part_.width();
    if (factor_ == 1) {
        std::copy_n(in, w, out_.ScanLine(y - part_.top));
        nextRow_ = y - part_.top + 1;
        return;
    }
    const int block = (y - part_.top) / factor_;
    if (block != blockRow_) {
        flushBlockRow();
        blockRow_ = block;
    }
    uint64_t* s = sums_.data();
    for (int x = 0; x < w; x += factor_, s += 4) {
        const int end = std::min(x + factor_, w);
        uint64_t a = 0, b = 0, g = 0, r = 0;
        for (int k = x; k < end; ++k) {
            const uint32_t p = in[k];
            const uint32_t alpha = p >> 24;
            a += alpha;
            b += alpha * (p & 0xFFu);
            g += alpha * ((p >> 8) & 0xFFu);
            r += alpha * ((p >> 16) & 0xFFu);
        }
        s[0] += a;
        s[1] += b;
        s[2] += g;
        s[3] += r;
    }
    ++rowsInBlock_;
}

void TRowReducer::flushBlockRow() {
    if (rowsInBlock_ == 0) return;
    uint32_t* out = out_.ScanLine(blockRow_);
    const int w = part_.width();
    uint64_t* s = sums_.data();
    for (int x = 0, i = 0; x < w; x += factor_, ++i, s += 4) {
        const uint64_t count = static_cast<uint64_t>(std::min(factor_, w - x)) * rowsInBlock_;
        const uint64_t a = s[0];
        uint32_t pixel = 0;
        if (a > 0) {
            auto channel = [a](uint64_t weighted) {
                return static_cast<uint32_t>(std::min<uint64_t>((weighted + a / 2) / a, 255));
            };
            const auto alpha = static_cast<uint32_t>((a + count / 2) / count);
            pixel = (alpha << 24) | (channel(s[3]) << 16) | (channel(s[2]) << 8) | channel(s[1]);
        }
        out[i] = pixel;
        std::fill_n(s, 4, 0);
    }
    rowsInBlock_ = 0;
    nextRow_ = blockRow_ + 1;
}

TBitmap32 TRowReducer::Finish() {
    flushBlockRow();
    for (int y = nextRow_; y < out_.Height(); ++y)
        std::fill_n(out_.ScanLine(y), out_.Width(), 0xFF000000u);
    return std::move(out_);
}

TBitmap32 ReduceRgbaPicture(const uint8_t* rgba, size_t stride, TRect part, int factor) {
    TRowReducer reducer(part, factor);
    std::vector<uint32_t> row(static_cast<size_t>(part.right));
    for (int y = part.top; y < part.bottom; ++y) {
        if ((y - part.top) % 64 == 0) CheckDecodeCancelled();
        const uint8_t* in = rgba + static_cast<size_t>(y) * stride + size_t{4} * part.left;
        for (int x = part.left; x < part.right; ++x, in += 4)
            row[static_cast<size_t>(x)] = (uint32_t{in[3]} << 24) | (uint32_t{in[0]} << 16) |
                                          (uint32_t{in[1]} << 8) | uint32_t{in[2]};
        reducer.AddRow(y, row.data());
    }
    return reducer.Finish();
}

} // namespace pictorelle
