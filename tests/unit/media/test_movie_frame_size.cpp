// The frame size of a Flash movie from its header: plain, zlib- and LZMA-compressed movies of
// 0 to 11000 by 0 to 8000 twips measure 550 x 400 pixels; the bits are taken as the header
// reader takes them, whatever the rectangle's field size; damaged files are refused.
#include "../../e2e/SwfWriter.h"
#include "media/swf/MovieFrameSize.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <lzma.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;
using test::SwfMovie;

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (fs::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The movie's body LZMA-compressed, as a "ZWS" movie carries it: the compressed length, the
// coder's five property bytes, then the raw stream.
std::vector<uint8_t> ToZws(const std::vector<uint8_t>& fws) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    lzma_stream s = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_alone_encoder(&s, &options), LZMA_OK);
    std::vector<uint8_t> packed(fws.size() + 1024);
    s.next_in = fws.data() + 8;
    s.avail_in = fws.size() - 8;
    s.next_out = packed.data();
    s.avail_out = packed.size();
    EXPECT_EQ(lzma_code(&s, LZMA_FINISH), LZMA_STREAM_END);
    packed.resize(packed.size() - s.avail_out);
    lzma_end(&s);
    // The ".lzma" form: 5 property bytes, 8 bytes of size, the stream.
    std::vector<uint8_t> out(fws.begin(), fws.begin() + 8);
    out[0] = 'Z';
    const auto length = static_cast<uint32_t>(packed.size() - 13);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((length >> (8 * i)) & 0xFF));
    out.insert(out.end(), packed.begin(), packed.begin() + 5);
    out.insert(out.end(), packed.begin() + 13, packed.end());
    return out;
}

TEST(MovieFrameSize, PlainAndCompressedMoviesOf11000By8000TwipsMeasure550By400) {
    SwfMovie movie;
    movie.frames = {QColor(10, 20, 30), QColor(40, 50, 60)};
    const std::vector<uint8_t> plain = test::WriteSwf(movie);
    movie.compressed = true;
    const std::vector<uint8_t> cws = test::WriteSwf(movie);
    ASSERT_EQ(cws[0], 'C');
    for (const auto& [name, bytes] :
         {std::pair{"plain.swf", plain}, {"cws.swf", cws}, {"zws.swf", ToZws(plain)}}) {
        const std::string path = WriteFile(std::string("pictorelle-unit-") + name, bytes);
        const TMovieFrameSize size = ReadMovieFrameSize(path);
        EXPECT_EQ(size.width, 550) << name;
        EXPECT_EQ(size.height, 400) << name;
        fs::remove(path);
    }
}

TEST(MovieFrameSize, TheBitsAreReadForAnyFieldSize) {
    // Field sizes 15 (the smallest for 11000), 20 and 31, and Xmax/Ymax that are not multiples
    // of 20 pixels' twips (integer division).
    for (int n : {15, 20, 31}) {
        test::SwfBits bits;
        test::PutRect(bits, 6419, 259, n);
        EXPECT_EQ(FrameSizeFromRect(bits.Bytes()).width, 6419 / 20) << n;
        EXPECT_EQ(FrameSizeFromRect(bits.Bytes()).height, 259 / 20) << n;
    }
    // The bit before Xmax and Ymax is Xmin's and Ymin's lowest: a movie whose origin is not 0
    // reads that bit as the top of the number, as the header reader always did.
    test::SwfBits odd;
    odd.Put(15, 5);
    odd.PutSigned(1, 15);
    odd.PutSigned(200, 15);
    odd.PutSigned(0, 15);
    odd.PutSigned(200, 15);
    EXPECT_EQ(FrameSizeFromRect(odd.Bytes()).width, ((1 << 15) + 200) / 20);
    EXPECT_EQ(FrameSizeFromRect(odd.Bytes()).height, 10);
}

TEST(MovieFrameSize, DamagedOrForeignFilesAreRefused) {
    const std::vector<uint8_t> notAMovie{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> shortMovie{'F', 'W', 'S', 6, 0};
    std::vector<uint8_t> brokenCws{'C', 'W', 'S', 6, 100, 0, 0, 0};
    brokenCws.insert(brokenCws.end(), 40, 0xAB);
    std::vector<uint8_t> brokenZws{'Z', 'W', 'S', 13, 100, 0, 0, 0, 9, 0, 0, 0};
    brokenZws.insert(brokenZws.end(), 40, 0xFF);
    for (const auto& [name, bytes] : {std::pair{"gif", notAMovie},
                                      {"short", shortMovie},
                                      {"cws", brokenCws},
                                      {"zws", brokenZws}}) {
        const std::string path = WriteFile(std::string("pictorelle-unit-bad-") + name, bytes);
        EXPECT_THROW(ReadMovieFrameSize(path), MovieError) << name;
        fs::remove(path);
    }
    EXPECT_THROW(ReadMovieFrameSize("/nonexistent/movie.swf"), MovieError);
}

} // namespace
} // namespace pictorelle
