// Helpers for window tests that play items: pictures drawn by the test, the items that carry
// them, and a look at what a display shows.
#pragma once

#include "UiTest.h"
#include "show/Image32.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <vector>

namespace pictorelle::test {

inline QImage SolidImage(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline std::vector<uint8_t> PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

// A PNG picture item, fitted to the screen unless it asks otherwise.
inline PackageEntry<ItemRecord> PictureEntry(const QImage& image, int itemSeconds = 0) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Record.ItemSeconds = itemSeconds;
    entry.Data = PngBytes(image);
    return entry;
}

// An item whose file no decoder can read.
inline PackageEntry<ItemRecord> CorruptEntry() {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Data.assign(300, 0x5A);
    return entry;
}

// The pixel a display shows, 0xAARRGGBB.
inline uint32_t Shown(const TImage32& image, int x, int y) {
    return image.Bitmap().Pixel(x, y);
}

inline uint32_t Opaque(QColor colour) {
    return colour.rgb() | 0xFF000000u;
}

} // namespace pictorelle::test
