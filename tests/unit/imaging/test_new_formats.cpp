// WebP, HEIF, AVIF, JPEG XL and SVG through the player's own entry point, on pictures made at
// test time by Debian's encoders; the format table they sit in; animated WebP through the GIF
// animator.
#include "ImagingFixtures.h"
#include "core/IntMath.h"
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/PictureFormats.h"
#include "imaging/PictureItem.h"
#include "package/PackageLayout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>

namespace pictorelle {
namespace {

using namespace test;

// Four flat quarters: lossy coding keeps flat areas close to their colour.
TBitmap32 Quarters(int w, int h) {
    TBitmap32 b(w, h);
    b.FillRect({0, 0, w / 2, h / 2}, 0xFFE02010u);
    b.FillRect({w / 2, 0, w, h / 2}, 0xFF10C040u);
    b.FillRect({0, h / 2, w / 2, h}, 0xFF2040E0u);
    b.FillRect({w / 2, h / 2, w, h}, 0xFFF0F0F0u);
    return b;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                         static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

// Away from the quarters' edges, where lossy coding rings.
void ExpectCloseInsideQuarters(const TBitmap32& expected, const TBitmap32& actual, int tolerance,
                               const std::string& what) {
    ASSERT_EQ(actual.Width(), expected.Width()) << what;
    ASSERT_EQ(actual.Height(), expected.Height()) << what;
    const int w = expected.Width(), h = expected.Height();
    for (int y : {h / 8, 3 * h / 8, 5 * h / 8, 7 * h / 8})
        for (int x : {w / 8, 3 * w / 8, 5 * w / 8, 7 * w / 8})
            EXPECT_LE(ChannelDistance(expected.Pixel(x, y), actual.Pixel(x, y)), tolerance)
                << what << " at " << x << "," << y;
}

TDecodePlan Ask(TRect source, TSize wanted, TSize limit = {}) {
    return [=](TSize) { return TDecodeRequest{source, wanted, limit}; };
}

Bytes FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(NewFormats, LosslessFilesComeBackExactly) {
    TBitmap32 picture = PatternBitmap(37, 23);
    // Partly transparent pixels must keep their straight colour (a fully transparent one is
    // always 0, whatever colour the file kept for it).
    for (int x = 0; x < 37; ++x)
        picture.SetPixel(x, 5, (picture.Pixel(x, 5) & 0x00FFFFFFu) | uint32_t(x * 7 + 1) << 24);
    ExpectSamePixels(picture, DecodePictureData(EncodeWebp(picture), ".webp").bitmap, "WebP");
    ExpectSamePixels(picture, DecodePictureData(EncodeJxl(picture), ".JXL").bitmap, "JPEG XL");
    const TBitmap32 opaque = PatternBitmap(37, 23);
    ExpectSamePixels(opaque, DecodePictureData(EncodeAvif(opaque), ".avif").bitmap, "AVIF");
}

TEST(NewFormats, LossyFilesKeepTheirColours) {
    const TBitmap32 picture = Quarters(128, 96);
    ExpectCloseInsideQuarters(
        picture, DecodePictureData(EncodeWebp(picture, false), ".WEBP").bitmap, 6, "WebP");
    ExpectCloseInsideQuarters(picture, DecodePictureData(EncodeHeif(picture), ".heic").bitmap, 6,
                              "HEIC");
    ExpectCloseInsideQuarters(picture, DecodePictureData(EncodeHeif(picture), ".HEIF").bitmap, 6,
                              "HEIF");
    ExpectCloseInsideQuarters(picture, DecodePictureData(EncodeJxl(picture, false), ".jxl").bitmap,
                              20, "JPEG XL"); // d1 moves saturated colours most
}

// The natural size always; the bitmap only the part asked for, reduced by the factor that
// still covers the wanted size.
TEST(NewFormats, DecodeOnlyThePartAndSizeAskedFor) {
    const TBitmap32 picture = PatternBitmap(120, 80);
    struct Case {
        const char* ext;
        Bytes bytes;
    };
    const Case cases[] = {{".webp", EncodeWebp(picture)},
                          {".jxl", EncodeJxl(picture)},
                          {".avif", EncodeAvif(picture)}};
    for (const Case& c : cases) {
        const TDecodedPicture half = DecodePictureData(c.bytes, c.ext, Ask({}, {60, 40}));
        EXPECT_EQ(half.natural, (TSize{120, 80})) << c.ext;
        EXPECT_EQ(half.bitmap.Width(), 60) << c.ext;
        EXPECT_EQ(half.bitmap.Height(), 40) << c.ext;
        // Held to the limit whatever is wanted.
        const TDecodedPicture limited =
            DecodePictureData(c.bytes, c.ext, Ask({}, {120, 80}, {30, 30}));
        EXPECT_LE(limited.bitmap.Width(), 30) << c.ext;
        EXPECT_LE(limited.bitmap.Height(), 30) << c.ext;
        // A part at full size: exactly the picture's pixels there, wherever the decoder had
        // to start (WebP cuts from even offsets, and says so in source).
        const TDecodedPicture part = DecodePictureData(c.bytes, c.ext, Ask({31, 17, 71, 49}, {}));
        EXPECT_EQ(part.source.intersected({31, 17, 71, 49}), (TRect{31, 17, 71, 49})) << c.ext;
        ASSERT_EQ(part.bitmap.Width(), part.source.width()) << c.ext;
        for (int y = part.source.top; y < part.source.bottom; y += 7)
            for (int x = part.source.left; x < part.source.right; x += 5)
                ASSERT_EQ(part.bitmap.Pixel(x - part.source.left, y - part.source.top),
                          picture.Pixel(x, y))
                    << c.ext << " at " << x << "," << y;
    }
}

// What the process writes to standard error while it lives, libraries and children included.
class StderrCapture {
public:
    StderrCapture() : path_(WriteTempFile("stderr.txt", {})), saved_(::dup(STDERR_FILENO)) {
        std::fflush(stderr);
        const int file = ::open(path_.c_str(), O_WRONLY | O_TRUNC);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~StderrCapture() { restore(); }
    std::string Text() {
        restore();
        std::ifstream in(path_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_;
};

// A damaged file is one ImageError of one line, and the libraries say nothing of their own
// on standard error (the player prints that one line).
TEST(NewFormats, DamagedOrForeignFilesAreImageErrors) {
    const TBitmap32 picture = Quarters(64, 48);
    const Bytes files[] = {EncodeWebp(picture, false), EncodeHeif(picture), EncodeAvif(picture),
                           EncodeJxl(picture, false)};
    const char* exts[] = {".webp", ".heic", ".avif", ".jxl"};
    auto expectOneLineError = [](const Bytes& data, const char* ext) {
        try {
            DecodePictureData(data, ext);
            ADD_FAILURE() << ext << " decoded";
        } catch (const ImageError& e) {
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
        }
    };
    StderrCapture captured;
    for (size_t i = 0; i < 4; ++i) {
        const Bytes& f = files[i];
        expectOneLineError(Bytes(f.begin(), f.begin() + static_cast<long>(f.size() / 2)), exts[i]);
        Bytes flipped = f;
        for (size_t at = 40; at < flipped.size(); at += 7)
            flipped[at] ^= 0x5A;
        try {
            DecodePictureData(flipped, exts[i]); // some damage still decodes to something
        } catch (const ImageError&) {
        }
        expectOneLineError(EncodePng(picture), exts[i]);
        expectOneLineError({}, exts[i]);
    }
    for (const char* text : {"", "<svg", "<html><body>not a picture</body></html>",
                             "<svg xmlns='http://www.w3.org/2000/svg' width='1e9' height='-4'"})
        expectOneLineError(Bytes(text, text + std::strlen(text)), ".svg");
    EXPECT_EQ(captured.Text(), "");
}

// Side information the colour and orientation step needs, when the library has not used it.
// A few kilobytes that claim a huge picture would have libheif ask for hundreds of megabytes
// before it finds the data short: such a file is refused by its size alone, by our limit on
// the pixels (8000 x 8000) or by libheif's on a side (10,000).
TEST(NewFormats, AHeifClaimingAHugePictureIsRefusedBeforeItIsDecoded) {
    const Bytes small = EncodeHeif(Quarters(64, 48));
    const auto claiming = [&](int side) {
        Bytes heic = small;
        const std::string_view text(reinterpret_cast<const char*>(heic.data()), heic.size());
        size_t found = 0;
        for (size_t ispe = text.find("ispe"); ispe != std::string_view::npos;
             ispe = text.find("ispe", ispe + 4), ++found)
            for (const size_t at : {ispe + 8, ispe + 12}) // after version and flags: w, h
                for (int k = 0; k < 4; ++k)
                    heic[at + static_cast<size_t>(k)] = static_cast<uint8_t>(side >> (24 - 8 * k));
        EXPECT_GT(found, 0u);
        try {
            DecodePictureData(heic, ".heic");
        } catch (const ImageError& e) {
            return std::string(e.what());
        }
        return std::string("decoded");
    };
    EXPECT_NE(claiming(8000).find("64 megapixels"), std::string::npos) << claiming(8000);
    EXPECT_NE(claiming(10000).find("exceeds"), std::string::npos) << claiming(10000);
}

TEST(NewFormats, ProfilesAndExifTravelWithThePixels) {
    const std::string icc = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    const Bytes profile = FileBytes(icc);
    ASSERT_FALSE(profile.empty());
    const TBitmap32 picture = Quarters(32, 32);
    const std::string exif = WriteTempFile("exif.bin", {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42});
    const Bytes webp = EncodeWithTool(
        {picture}, "cwebp -quiet IN0 -o OUT.a && webpmux -set icc '" + icc +
                       "' OUT.a -o OUT.b && webpmux -set exif '" + exif + "' OUT.b -o OUT");
    const TDecodedPicture w = DecodePictureData(webp, ".webp");
    EXPECT_EQ(w.iccProfile, profile);
    EXPECT_EQ(w.exif, (Bytes{'M', 'M', 0, 42})); // without the JPEG-style prefix

    const std::string tagged = "png:-profile '" + icc + "'";
    const Bytes heic = EncodeWithTool({picture}, "convert IN0 -profile '" + icc +
                                                     "' OUT.png && heif-enc OUT.png -o OUT.heic && "
                                                     "mv OUT.heic OUT");
    EXPECT_EQ(DecodePictureData(heic, ".heic").iccProfile, profile);
    const Bytes jxl = EncodeWithTool({picture}, "convert IN0 -profile '" + icc +
                                                    "' OUT.png && cjxl -d 0 OUT.png OUT.jxl && "
                                                    "mv OUT.jxl OUT");
    EXPECT_FALSE(DecodePictureData(jxl, ".jxl").iccProfile.empty());
    // Untagged files are sRGB: nothing to carry.
    EXPECT_TRUE(DecodePictureData(EncodeJxl(picture, false), ".jxl").iccProfile.empty());
    EXPECT_TRUE(DecodePictureData(EncodeWebp(picture), ".webp").iccProfile.empty());
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A red left half and a blue right half, 20 x 10 at its own size.
const std::string kHalves =
    "<?xml version='1.0'?>\n<!-- halves -->\n"
    "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10' viewBox='0 0 20 10'>"
    "<rect width='10' height='10' fill='#ff0000'/><rect x='10' width='10' height='10' "
    "fill='#0000ff'/></svg>";

TEST(NewFormats, SvgIsDrawnAtTheSizeItIsShown) {
    const TDecodedPicture own = DecodePictureData(Text(kHalves), ".svg");
    EXPECT_EQ(own.natural, (TSize{20, 10}));
    EXPECT_EQ(own.bitmap.Pixel(2, 5), 0xFFFF0000u);
    // Shown forty times larger: drawn at that size, the edge as sharp as ever (a scaled-up
    // bitmap would blur it over forty pixels).
    const TDecodedPicture big = DecodePictureData(Text(kHalves), ".SVG", Ask({}, {800, 400}));
    EXPECT_EQ(big.natural, (TSize{20, 10}));
    ASSERT_EQ(big.bitmap.Width(), 800);
    ASSERT_EQ(big.bitmap.Height(), 400);
    EXPECT_EQ(big.bitmap.Pixel(399, 200), 0xFFFF0000u);
    EXPECT_EQ(big.bitmap.Pixel(400, 200), 0xFF0000FFu);
    // Stretched out of proportion: the document follows.
    const TDecodedPicture wide = DecodePictureData(Text(kHalves), ".svg", Ask({}, {300, 20}));
    EXPECT_EQ(wide.bitmap.Width(), 300);
    EXPECT_EQ(wide.bitmap.Pixel(160, 10), 0xFF0000FFu);
    // A part of it, and the limit.
    const TDecodedPicture part = DecodePictureData(Text(kHalves), ".svg", Ask({8, 0, 12, 10}, {}));
    EXPECT_EQ(part.bitmap.Width(), 4);
    EXPECT_EQ(part.bitmap.Pixel(1, 5), 0xFFFF0000u);
    EXPECT_EQ(part.bitmap.Pixel(2, 5), 0xFF0000FFu);
    EXPECT_LE(
        DecodePictureData(Text(kHalves), ".svg", Ask({}, {800, 400}, {100, 100})).bitmap.Width(),
        100);
}

// A document librsvg gives up on by ending its process (found by the fuzzer: a text of an
// absurd size) is a picture that cannot be decoded; the process that asked goes on.
TEST(NewFormats, AnSvgThatKillsItsDrawerIsOnlyAPictureThatCannotBeDecoded) {
    const Bytes svg =
        ReadPictureFile(std::string(PICTORELLE_FUZZ_FOUND_DIR) + "/svg/text-of-absurd-size.svg");
    EXPECT_THROW(DecodePictureData(svg, ".svg"), ImageError);
    // The drawing after it is as good as ever.
    const std::string fine = "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='2'>"
                             "<rect width='4' height='2' fill='#00ff00'/></svg>";
    const TDecodedPicture d = DecodePictureData(Bytes(fine.begin(), fine.end()), ".svg");
    ASSERT_EQ(d.bitmap.Width(), 4);
    EXPECT_EQ(d.bitmap.Pixel(3, 1), 0xFF00FF00u);
}

TEST(NewFormats, SvgWithoutASizeGetsTheDefaultOne) {
    const std::string viewBoxOnly = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 40 10'>"
                                    "<rect width='40' height='10' fill='lime'/></svg>";
    EXPECT_EQ(DecodePictureData(Text(viewBoxOnly), ".svg").natural, (TSize{1024, 256}));
    const std::string percent = "<svg xmlns='http://www.w3.org/2000/svg' width='100%' "
                                "height='100%' viewBox='0 0 10 20'/>";
    EXPECT_EQ(DecodePictureData(Text(percent), ".svg").natural, (TSize{512, 1024}));
    const std::string bare = "<svg xmlns='http://www.w3.org/2000/svg'/>";
    EXPECT_EQ(DecodePictureData(Text(bare), ".svg").natural, (TSize{1024, 768}));
    // A claimed size beyond what we hold is drawn smaller, in proportion.
    const std::string huge = "<svg xmlns='http://www.w3.org/2000/svg' width='200000' "
                             "height='100000'/>";
    const TSize n = DecodePictureData(Text(huge), ".svg", Ask({}, {100, 50})).natural;
    EXPECT_LE(int64_t{n.width} * n.height, kMaxPicturePixels);
    EXPECT_NEAR(n.width, 2 * n.height, 2);
}

TEST(NewFormats, SvgzAndLocalFilesStayOut) {
    const Bytes svgz = EncodeWithTool({}, "printf '%s' \"" + kHalves + "\" | gzip -c > OUT");
    EXPECT_EQ(DecodePictureData(svgz, ".svgz").bitmap.Pixel(15, 5), 0xFF0000FFu);
    // A document naming a picture on disk draws without it.
    const std::string local = WriteTempFile("local.png", EncodePng(SolidBitmap(4, 4, 0xFF00FF00u)));
    const std::string withImage = "<svg xmlns='http://www.w3.org/2000/svg' "
                                  "xmlns:xlink='http://www.w3.org/1999/xlink' width='4' "
                                  "height='4'><image width='4' height='4' xlink:href='file://" +
                                  local + "'/></svg>";
    EXPECT_EQ(DecodePictureData(Text(withImage), ".svg").bitmap.Pixel(2, 2), 0u);
}

TEST(PictureFormatTable, ExtensionsAndFirstBytesAgree) {
    const TBitmap32 picture = Quarters(16, 16);
    struct Case {
        const char* ext;
        Bytes bytes;
    };
    const Case cases[] = {
        {"jpg", EncodeJpeg(picture)},          {"png", EncodePng(picture)},
        {"tif", EncodeTiff(picture)},          {"gif", EncodeGif({picture})},
        {"bmp", EncodeWithQt(picture, "bmp")}, {"ico", EncodeWithQt(picture, "ico")},
        {"webp", EncodeWebp(picture)},         {"heic", EncodeHeif(picture)},
        {"avif", EncodeAvif(picture)},         {"jxl", EncodeJxl(picture)},
        {"jxl", EncodeJxl(picture, false)},    {"svg", Text(kHalves)},
    };
    for (const Case& c : cases) {
        const TPictureFormatRow* byName = FormatRowOfExtension(c.ext);
        ASSERT_NE(byName, nullptr) << c.ext;
        EXPECT_EQ(RecognisePicture(c.bytes), byName) << c.ext;
        EXPECT_TRUE(byName->decode) << c.ext;
    }
    for (const char* ext : {".WEBP", ".HEIC", ".HEIF", ".AVIF", ".JXL", ".SVG", ".SVGZ", "svgz"})
        EXPECT_NE(FormatRowOfExtension(ext), nullptr) << ext;
    EXPECT_EQ(FormatOfExtension(".Heif"), TPictureFormat::Heif);
    EXPECT_EQ(FormatRowOfExtension(".wmf")->decode, nullptr);
    EXPECT_EQ(FormatRowOfExtension(".txt"), nullptr);
    EXPECT_EQ(RecognisePicture(Text("hello, world")), nullptr);
    EXPECT_EQ(RecognisePicture(Text("<html><p>svg</p></html>")), nullptr);
    EXPECT_EQ(RecognisePicture({}), nullptr);
}

// Frames laid out with webpmux: each "+delay+x+y+dispose(0 keep, 1 background)+/-blend".
Bytes AnimatedWebp(const std::vector<TBitmap32>& frames, const std::vector<std::string>& how,
                   int loops) {
    std::string command;
    std::string mux = "webpmux";
    for (size_t i = 0; i < frames.size(); ++i) {
        command += "cwebp -quiet -lossless -exact IN" + std::to_string(i) + " -o OUT" +
                   std::to_string(i) + ".webp && ";
        mux += " -frame OUT" + std::to_string(i) + ".webp " + how[i];
    }
    return EncodeWithTool(frames, command + mux + " -loop " + std::to_string(loops) + " -o OUT");
}

TEST(AnimatedWebp, PlaysThroughTheGifAnimatorWithItsDisposalAndBlending) {
    const TBitmap32 red = SolidBitmap(8, 6, 0xFFFF0000u);
    TBitmap32 halfBlue = SolidBitmap(4, 4, 0xFF0000FFu);
    halfBlue.FillRect({0, 0, 2, 4}, 0x800000FFu); // left half half transparent
    const TBitmap32 green = SolidBitmap(2, 2, 0xFF00FF00u);
    const Bytes file =
        AnimatedWebp({red, halfBlue, green}, {"+70+0+0+0-b", "+120+2+2+1+b", "+50+4+0+0-b"}, 0);
    ASSERT_TRUE(FormatRowOfExtension("webp")->Animates(file));
    EXPECT_FALSE(FormatRowOfExtension("webp")->Animates(EncodeWebp(red)));

    TGifAnimator animator(ReadAnimatedWebp(file));
    const TGifImage& gif = animator.Gif();
    EXPECT_EQ(gif.screen, (TSize{8, 6}));
    EXPECT_TRUE(gif.loops);
    ASSERT_EQ(animator.FrameCount(), 3);
    EXPECT_EQ(gif.frames[0].delayMs, 70);
    EXPECT_EQ(gif.frames[1].delayMs, 120);
    EXPECT_EQ(GifTimerStep(gif, 0), (TGifTimerStep{1, true, 120}));
    EXPECT_EQ(GifTimerStep(gif, 2), (TGifTimerStep{0, true, 70}));

    EXPECT_EQ(animator.Frame(0).Pixel(3, 3), 0xFFFF0000u);
    const TBitmap32& second = animator.Frame(1);
    EXPECT_EQ(second.Pixel(4, 3), 0xFF0000FFu);                     // opaque blue over red
    EXPECT_EQ(ChannelDistance(second.Pixel(2, 3), 0xFF80007Fu), 1); // half blue blended on red
    EXPECT_EQ(second.Pixel(0, 0), 0xFFFF0000u);                     // outside the frame: red stays
    // Frame 1 is disposed to the background: its rectangle is uncovered, fully transparent.
    const TBitmap32& third = animator.Frame(2);
    EXPECT_EQ(third.Pixel(3, 3) >> 24, 0u);
    EXPECT_EQ(animator.Canvas().Pixel(3, 3), 0u);
    EXPECT_EQ(third.Pixel(5, 1), 0xFF00FF00u);
    EXPECT_EQ(third.Pixel(0, 0), 0xFFFF0000u);
    // Back to the start after the last frame, as the timer does when looping.
    EXPECT_EQ(animator.Frame(0).Pixel(3, 3), 0xFFFF0000u);

    // A limited loop count plays once; the still of an animation is its first frame.
    EXPECT_FALSE(ReadAnimatedWebp(AnimatedWebp({red, green}, {"+10", "+10"}, 2)).loops);
    ExpectSamePixels(red, DecodePictureData(file, ".webp").bitmap, "first frame as a still");
}

TEST(AnimatedWebp, AnItemKeepsItsAnimatorAndIsSampledToItsSize) {
    TBitmap32 stripes(64, 32);
    for (int x = 0; x < 64; ++x)
        stripes.FillRect({x, 0, x + 1, 32}, x % 2 ? 0xFF00FF00u : 0xFFFF00FFu);
    const Bytes file = AnimatedWebp({stripes, SolidBitmap(64, 32, 0xFF0000FFu)}, {"+40", "+40"}, 0);
    const TGifImage small = ReadAnimatedWebp(file, Ask({}, {16, 8}));
    EXPECT_EQ(small.Canvas(), (TSize{16, 8}));
    EXPECT_EQ(small.frames[0].pixels.size(), 16u * 8u);

    ItemRecord item;
    item.Ext = ".webp";
    TPictureItemInput in;
    in.item = &item;
    in.picturePath = WriteTempFile("SSIMG.webp", file);
    in.frameWidth = 200;
    in.frameHeight = 100;
    const TPictureItem out = ComposePictureItem(in);
    EXPECT_TRUE(out.isGif);
    ASSERT_TRUE(out.gif);
    EXPECT_EQ(out.gif->FrameCount(), 2);
    // A still WebP is a plain picture.
    in.picturePath = WriteTempFile("SSIMG2.webp", EncodeWebp(stripes));
    const TPictureItem still = ComposePictureItem(in);
    EXPECT_FALSE(still.isGif);
    EXPECT_FALSE(still.gif);
}

} // namespace
} // namespace pictorelle
