#include "ImagingFixtures.h"

#include "core/Color.h"
#include "package/TempFolder.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <iterator>
#include <jpeglib.h>
#include <map>
#include <png.h>
#include <stdexcept>
#include <sys/wait.h>
#include <tiffio.h>

namespace pictorelle::test {

uint32_t PatternPixel(int x, int y) {
    return MakePixel(static_cast<uint32_t>(x * 37 + y * 11), static_cast<uint32_t>(x * 5 + y * 53),
                     static_cast<uint32_t>(x * y + 7));
}

TBitmap32 PatternBitmap(int width, int height) {
    TBitmap32 b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, PatternPixel(x, y));
    return b;
}

TBitmap32 SolidBitmap(int width, int height, uint32_t pixel) {
    TBitmap32 b(width, height);
    b.Clear(pixel);
    return b;
}

namespace {

Bytes jpegCompress(int width, int height, int components, J_COLOR_SPACE space, int quality,
                   const std::vector<const uint8_t*>& rows, bool progressive = false,
                   const TCmykJpeg& cmyk = {}) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    if (space == JCS_CMYK) jpeg_set_colorspace(&cinfo, cmyk.ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (space == JCS_CMYK) cinfo.write_Adobe_marker = cmyk.adobe ? TRUE : FALSE;
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!cmyk.profile.empty())
        jpeg_write_icc_profile(&cinfo, cmyk.profile.data(),
                               static_cast<unsigned>(cmyk.profile.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows[cinfo.next_scanline]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

void pngWrite(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void pngFlush(png_structp) {}

int gifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

Bytes EncodeJpeg(const TBitmap32& picture, int quality, bool progressive) {
    std::vector<const uint8_t*> rows;
    for (int y = 0; y < picture.Height(); ++y)
        rows.push_back(reinterpret_cast<const uint8_t*>(picture.ScanLine(y)));
    return jpegCompress(picture.Width(), picture.Height(), 4, JCS_EXT_BGRA, quality, rows,
                        progressive);
}

Bytes EncodeCmykJpeg(int width, int height, uint8_t c, uint8_t m, uint8_t y, uint8_t k,
                     const TCmykJpeg& kind) {
    // Adobe CMYK JPEGs store the channels inverted.
    auto stored = [&kind](uint8_t ink) {
        return kind.adobe ? static_cast<uint8_t>(255 - ink) : ink;
    };
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x)
        row.insert(row.end(), {stored(c), stored(m), stored(y), stored(k)});
    const std::vector<const uint8_t*> rows(static_cast<size_t>(height), row.data());
    return jpegCompress(width, height, 4, JCS_CMYK, 95, rows, false, kind);
}

Bytes EncodePng(const TBitmap32& picture, bool alpha, bool interlaced) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()),
                 static_cast<png_uint_32>(picture.Height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
    std::vector<png_bytep> rows;
    for (int y = 0; y < picture.Height(); ++y)
        rows.push_back(reinterpret_cast<png_bytep>(const_cast<uint32_t*>(picture.ScanLine(y))));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeTiff(const TBitmap32& picture, bool alpha) {
    const std::string path = TempFilePath("fixture", ".tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) throw std::runtime_error("cannot write the TIFF fixture");
    const auto w = static_cast<uint32_t>(picture.Width());
    const auto h = static_cast<uint32_t>(picture.Height());
    const uint16_t samples = alpha ? 4 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4u);
    if (alpha) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    std::vector<uint8_t> row(size_t{w} * samples);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = picture.Pixel(static_cast<int>(x), static_cast<int>(y));
            uint8_t* s = row.data() + size_t{x} * samples;
            s[0] = static_cast<uint8_t>(PixelRed(p));
            s[1] = static_cast<uint8_t>(PixelGreen(p));
            s[2] = static_cast<uint8_t>(PixelBlue(p));
            if (alpha) s[3] = static_cast<uint8_t>(PixelAlpha(p));
        }
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);
    Bytes out = readFile(path);
    std::remove(path.c_str());
    return out;
}

Bytes EncodeGif(const std::vector<TBitmap32>& frames, bool loops, int delayCs, bool interlaced) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, frames[0].Width(), frames[0].Height(), 8, 0, nullptr);
    if (loops) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const uint8_t loop[] = {1, 0, 0};
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (const TBitmap32& frame : frames) {
        std::map<uint32_t, int> index;
        std::vector<GifColorType> colours(256, GifColorType{0, 0, 0});
        int transparent = -1;
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x) {
                const uint32_t p = frame.Pixel(x, y);
                if (PixelAlpha(p) == 0) continue;
                if (index.count(p) == 0) {
                    const int i = static_cast<int>(index.size());
                    if (i == 255) throw std::runtime_error("too many colours for a GIF fixture");
                    index[p] = i;
                    colours[static_cast<size_t>(i)] = {static_cast<GifByteType>(PixelRed(p)),
                                                       static_cast<GifByteType>(PixelGreen(p)),
                                                       static_cast<GifByteType>(PixelBlue(p))};
                }
            }
        transparent = static_cast<int>(index.size());
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.DelayTime = delayCs;
        gcb.TransparentColor = transparent;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
        ColorMapObject* map = GifMakeMapObject(256, colours.data());
        EGifPutImageDesc(gif, 0, 0, frame.Width(), frame.Height(), interlaced, map);
        std::vector<int> order;
        if (interlaced) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < frame.Height(); y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < frame.Height(); ++y)
                order.push_back(y);
        }
        std::vector<GifPixelType> line(static_cast<size_t>(frame.Width()));
        for (int y : order) {
            for (int x = 0; x < frame.Width(); ++x) {
                const uint32_t p = frame.Pixel(x, y);
                line[static_cast<size_t>(x)] =
                    static_cast<GifPixelType>(PixelAlpha(p) == 0 ? transparent : index[p]);
            }
            EGifPutLine(gif, line.data(), frame.Width());
        }
        GifFreeMapObject(map);
    }
    EGifCloseFile(gif, &error);
    return out;
}

Bytes EncodeWithQt(const TBitmap32& picture, const char* format) {
    const QImage image(reinterpret_cast<const uchar*>(picture.Bits()), picture.Width(),
                       picture.Height(), picture.BytesPerLine(), QImage::Format_ARGB32);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) throw std::runtime_error("cannot encode the Qt fixture");
    const QByteArray& data = buffer.data();
    return Bytes(data.begin(), data.end());
}

void ExpectSamePixels(const TBitmap32& expected, const TBitmap32& actual, const std::string& what) {
    ASSERT_EQ(actual.Width(), expected.Width()) << what;
    ASSERT_EQ(actual.Height(), expected.Height()) << what;
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Width(); ++x)
            ASSERT_EQ(actual.Pixel(x, y), expected.Pixel(x, y))
                << what << " at (" << x << ", " << y << ")";
}

int MaxChannelError(const TBitmap32& a, const TBitmap32& b) {
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int shift : {0, 8, 16, 24}) {
                const int ca = static_cast<int>((a.Pixel(x, y) >> shift) & 0xFF);
                const int cb = static_cast<int>((b.Pixel(x, y) >> shift) & 0xFF);
                worst = std::max(worst, std::abs(ca - cb));
            }
    return worst;
}

int RunTool(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bytes ReadTestFile(const std::string& path) {
    return readFile(path);
}

std::string WriteTempFile(const std::string& name, const Bytes& bytes) {
    const std::string path = TempFolder() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes EncodeWithTool(const std::vector<TBitmap32>& pictures, const std::string& command) {
    static int made = 0;
    const std::string stem = TempFolder() + "tool-" + std::to_string(++made);
    std::string line = command;
    auto replace = [&line](const std::string& what, const std::string& with) {
        for (size_t at = line.find(what); at != std::string::npos; at = line.find(what, at))
            line.replace(at, what.size(), with);
    };
    for (size_t i = pictures.size(); i-- > 0;) {
        const std::string in = stem + "-in" + std::to_string(i) + ".png";
        WriteTempFile(in.substr(TempFolder().size()), EncodePng(pictures[i]));
        replace("IN" + std::to_string(i), "'" + in + "'");
    }
    const std::string out = stem + "-out";
    replace("OUT", "'" + out + "'");
    line = "( " + line + " ) >/dev/null 2>&1";
    if (std::system(line.c_str()) != 0) {
        ADD_FAILURE() << "encoder failed: " << line;
        return {};
    }
    std::ifstream file(out, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes EncodeWebp(const TBitmap32& picture, bool lossless) {
    return EncodeWithTool({picture}, lossless ? "cwebp -quiet -lossless -exact IN0 -o OUT"
                                              : "cwebp -quiet -q 95 IN0 -o OUT");
}

Bytes EncodeHeif(const TBitmap32& picture, bool lossless) {
    return EncodeWithTool({picture}, lossless
                                         ? "heif-enc -L -p chroma=444 IN0 -o OUT.heic"
                                           " && mv OUT.heic OUT"
                                         : "heif-enc -q 95 IN0 -o OUT.heic && mv OUT.heic OUT");
}

Bytes EncodeAvif(const TBitmap32& picture) {
    return EncodeWithTool({picture}, "avifenc -l IN0 OUT.avif && mv OUT.avif OUT");
}

Bytes EncodeJxl(const TBitmap32& picture, bool lossless) {
    return EncodeWithTool({picture}, lossless ? "cjxl -d 0 IN0 OUT.jxl && mv OUT.jxl OUT"
                                              : "cjxl -d 1 IN0 OUT.jxl && mv OUT.jxl OUT");
}

QGuiApplication& GuiApp() {
    // The application is never destroyed: fonts and the platform stay loaded for the whole run.
    static int argc = 1;
    static char name[] = "pictorelle-unit-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        // Text drawing needs a platform, never a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return *app;
}

} // namespace pictorelle::test

// fontconfig keeps a few allocations of its configuration unreachable once loaded; they are
// the library's, made once per process, and not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
