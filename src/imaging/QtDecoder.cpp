// BMP and ICO through Qt's image reader. The reader needs no application object and no
// display; the size is read from the header and checked before any pixel is decoded.
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstring>
#include <string>

namespace pictorelle::decoders {

namespace {

[[noreturn]] void fail(const char* format, const QString& why) {
    throw ImageError(std::string(format) + ": " + why.toStdString());
}

} // namespace

// Qt decodes a picture whole; a run-length coded bitmap of a few kilobytes can claim a picture
// of hundreds of megabytes, so the reader may not allocate more than this.
constexpr int kMaxQtImageMiB = 96;

TDecodedPicture DecodeWithQt(std::span<const uint8_t> data, const char* format,
                             const TDecodePlan& plan) {
    if (data.empty()) fail(format, QStringLiteral("empty file"));
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                     static_cast<qsizetype>(data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) fail(format, buffer.errorString());
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(kMaxQtImageMiB);

    // An icon file holds several pictures; take the largest.
    int best = 0;
    if (reader.imageCount() > 1) {
        int64_t bestArea = -1;
        for (int i = 0; i < reader.imageCount(); ++i) {
            if (!reader.jumpToImage(i)) break;
            const QSize s = reader.size();
            const int64_t area = int64_t{s.width()} * s.height();
            if (s.isValid() && area > bestArea) {
                bestArea = area;
                best = i;
            }
        }
        reader.jumpToImage(best);
    }
    const QSize size = reader.size();
    if (!size.isValid()) fail(format, reader.errorString());
    CheckPictureSize(size.width(), size.height());
    // Qt's limit weighs the picture as stored, but every picture is turned into 32-bit pixels
    // below, which costs four times as much for one of 8 bits a pixel and 32 times for one of
    // a bit: the header's size is weighed at 32 bits before the reader allocates anything.
    if (int64_t{size.width()} * size.height() * 4 > int64_t{kMaxQtImageMiB} << 20)
        fail(format,
             QStringLiteral("picture too large: %1 x %2").arg(size.width()).arg(size.height()));

    QImage image;
    if (!reader.read(&image) || image.isNull()) fail(format, reader.errorString());
    CheckPictureSize(image.width(), image.height());
    image.convertTo(QImage::Format_ARGB32);
    if (image.isNull()) fail(format, QStringLiteral("out of memory"));

    TDecodedPicture out;
    out.natural = {image.width(), image.height()};
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    out.source = req.source;
    TRowReducer reducer(req.source, ReductionFactor(req.source.size(), req.wanted, req.limit));
    for (int y = req.source.top; y < req.source.bottom; ++y)
        reducer.AddRow(y, reinterpret_cast<const uint32_t*>(image.constScanLine(y)));
    out.bitmap = reducer.Finish();
    return out;
}

} // namespace pictorelle::decoders
