#include "FitPicture.h"

#include "core/Error.h"
#include "imaging/Decode.h"
#include "imaging/PictureFormats.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <turbojpeg.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

bool HasTransparency(const TBitmap32& bitmap) {
    const uint32_t* p = bitmap.Bits();
    const size_t count = static_cast<size_t>(bitmap.Width()) * static_cast<size_t>(bitmap.Height());
    return std::any_of(p, p + count, [](uint32_t pixel) { return (pixel >> 24) != 0xFF; });
}

void WriteJpeg(const QImage& image, const fs::path& out) {
    tjhandle handle = tjInitCompress();
    if (!handle) throw PictorelleError("cannot start the JPEG encoder");
    unsigned char* data = nullptr;
    unsigned long size = 0;
    // Pixels 0xAARRGGBB lie in memory as blue, green, red, alpha.
    const int failed =
        tjCompress2(handle, image.constBits(), image.width(),
                    static_cast<int>(image.bytesPerLine()), image.height(), TJPF_BGRA, &data, &size,
                    TJSAMP_420, kFittedJpegQuality, TJFLAG_ACCURATEDCT);
    const std::string reason = failed ? tjGetErrorStr2(handle) : "";
    tjDestroy(handle);
    if (failed) {
        tjFree(data);
        throw PictorelleError(out.string() + ": cannot encode (" + reason + ")");
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    tjFree(data);
    if (!file.flush()) throw PictorelleError("cannot write " + out.string());
}

} // namespace

std::optional<TSize> ParseBoxSize(const std::string& text) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    auto side = [](const std::string& digits) -> std::optional<int> {
        if (digits.empty() || digits.size() > 5 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        const int value = std::stoi(digits);
        if (value < 1 || value > kMaxPictureSide) return std::nullopt;
        return value;
    };
    const auto width = side(text.substr(0, x));
    const auto height = side(text.substr(x + 1));
    if (!width || !height) return std::nullopt;
    return TSize{*width, *height};
}

TSize FitInside(TSize picture, TSize box) {
    const double scale = std::min(static_cast<double>(box.width) / picture.width,
                                  static_cast<double>(box.height) / picture.height);
    // Rounded, then held inside the box, so a long thin picture keeps at least one pixel.
    const int width =
        std::clamp(static_cast<int>(std::lround(picture.width * scale)), 1, box.width);
    const int height =
        std::clamp(static_cast<int>(std::lround(picture.height * scale)), 1, box.height);
    return {width, height};
}

std::optional<fs::path> FitPicture(const fs::path& file, TSize box, const fs::path& folder,
                                   const std::string& name) {
    const std::string ext = file.extension().string();
    const TPictureFormatRow* row = FormatRowOfExtension(ext);
    // Videos, refused formats and drawings are packed as they are.
    if (!row || !row->decode || row->format == TPictureFormat::Svg) return std::nullopt;
    try {
        const std::vector<uint8_t> data = ReadPictureFile(file.string());
        if (row->Animates(data)) return std::nullopt;
        // The decoder may already reduce by a whole factor, never below the size wanted.
        TSize fitted;
        bool larger = false;
        const TDecodePlan plan = [&](TSize natural) {
            larger = natural.width > box.width || natural.height > box.height;
            fitted = larger ? FitInside(natural, box) : natural;
            return TDecodeRequest{{}, fitted, {}};
        };
        TDecodedPicture picture = DecodePictureData(data, ext, plan);
        if (!larger) return std::nullopt;
        const TBitmap32& bitmap = picture.bitmap;
        const QImage wrapped(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(),
                             bitmap.Height(), bitmap.BytesPerLine(), QImage::Format_ARGB32);
        if (HasTransparency(bitmap)) {
            // Scaled premultiplied, so the colour of invisible pixels never bleeds into edges.
            const QImage scaled = wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                      .scaled(fitted.width, fitted.height, Qt::IgnoreAspectRatio,
                                              Qt::SmoothTransformation)
                                      .convertToFormat(QImage::Format_ARGB32);
            const fs::path out = folder / (name + ".png");
            if (!scaled.save(QString::fromStdString(out.string()), "PNG"))
                throw PictorelleError("cannot write " + out.string());
            return out;
        }
        const QImage scaled = wrapped
                                  .scaled(fitted.width, fitted.height, Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
        const fs::path out = folder / (name + ".jpg");
        WriteJpeg(scaled, out);
        return out;
    } catch (const ImageError& e) {
        std::cerr << "pictorelle-pack: " << file.string()
                  << ": packed as it is, it cannot be decoded to make it smaller (" << e.what()
                  << ")\n";
        return std::nullopt;
    }
}

} // namespace pictorelle
