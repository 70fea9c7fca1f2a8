#include "media/swf/MovieFrameSize.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <lzma.h>
#include <zlib.h>

namespace pictorelle {
namespace {

// The rectangle is at most 5 + 4 * 31 bits: 17 bytes always hold it.
constexpr size_t kRectBytes = 17;
// A compressed header's fixed part: signature, version, length (and for LZMA the compressed
// length and the five bytes of coder properties).
constexpr size_t kHeaderBytes = 8;
constexpr size_t kLzmaHeaderBytes = 17;
// Enough of a compressed body for the rectangle, however badly it compresses.
constexpr size_t kCompressedReadBytes = 4096;

uint64_t Bits(const std::vector<uint8_t>& bytes, int first, int count) {
    uint64_t value = 0;
    for (int bit = first; bit < first + count; ++bit) {
        const size_t byte = static_cast<size_t>(bit / 8);
        const int on = byte < bytes.size() ? (bytes[byte] >> (7 - bit % 8)) & 1 : 0;
        value = (value << 1) | static_cast<uint64_t>(on);
    }
    return value;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(kRectBytes);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw MovieError("the movie's body cannot be inflated");
    z.next_in = const_cast<Bytef*>(body.data());
    z.avail_in = static_cast<uInt>(body.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_SYNC_FLUSH);
    const size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if ((status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) || produced == 0)
        throw MovieError("the movie's zlib body is damaged");
    out.resize(produced);
    return out;
}

std::vector<uint8_t> Unlzma(const std::vector<uint8_t>& properties,
                            const std::vector<uint8_t>& body) {
    // The movie keeps the coder's five property bytes; the stand-alone ".lzma" form wants them
    // followed by the uncompressed size, here unknown.
    std::vector<uint8_t> in(properties);
    in.insert(in.end(), 8, 0xFF);
    in.insert(in.end(), body.begin(), body.end());
    std::vector<uint8_t> out(kRectBytes);
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&s, UINT64_MAX) != LZMA_OK)
        throw MovieError("the movie's body cannot be inflated");
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    const lzma_ret status = lzma_code(&s, LZMA_RUN);
    const size_t produced = out.size() - s.avail_out;
    lzma_end(&s);
    if ((status != LZMA_OK && status != LZMA_STREAM_END && status != LZMA_BUF_ERROR) ||
        produced == 0)
        throw MovieError("the movie's LZMA body is damaged");
    out.resize(produced);
    return out;
}

} // namespace

TMovieFrameSize FrameSizeFromRect(const std::vector<uint8_t>& rect) {
    const int n = static_cast<int>(Bits(rect, 0, 5));
    TMovieFrameSize size;
    size.width = static_cast<int>(Bits(rect, n + 4, n + 1) / 20);
    size.height = static_cast<int>(Bits(rect, 3 * n + 4, n + 1) / 20);
    return size;
}

TMovieFrameSize ReadMovieFrameSize(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw MovieError("the movie cannot be opened");
    std::vector<uint8_t> head(kHeaderBytes + kCompressedReadBytes);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    if (head.size() < kHeaderBytes + 1) throw MovieError("the movie is too short for a header");
    const auto from = [&](size_t offset) {
        return std::vector<uint8_t>(head.begin() + static_cast<std::ptrdiff_t>(offset), head.end());
    };
    if (head[1] != 'W' || head[2] != 'S') throw MovieError("the file is not a Flash movie");
    switch (head[0]) {
    case 'F': {
        std::vector<uint8_t> rect = from(kHeaderBytes);
        rect.resize(std::min(rect.size(), kRectBytes));
        return FrameSizeFromRect(rect);
    }
    case 'C':
        return FrameSizeFromRect(Inflate(from(kHeaderBytes)));
    case 'Z':
        if (head.size() <= kLzmaHeaderBytes) throw MovieError("the movie is too short");
        return FrameSizeFromRect(Unlzma(std::vector<uint8_t>(head.begin() + 12, head.begin() + 17),
                                        from(kLzmaHeaderBytes)));
    default:
        throw MovieError("the file is not a Flash movie");
    }
}

} // namespace pictorelle
