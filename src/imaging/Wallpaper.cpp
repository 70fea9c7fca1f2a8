#include "imaging/Wallpaper.h"

#include "core/Error.h"
#include "imaging/Decode.h"
#include "imaging/PictureItem.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

bool IsAbsoluteFolder(const char* path) {
    return path && path[0] == '/';
}

// The extension after the file name's last dot, in lower case ("" without one).
std::string LowerExtension(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

void PutLE16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
    PutLE16(out, value & 0xFFFF);
    PutLE16(out, value >> 16);
}

// The destination's folder exists, and a scratch name beside it that the finished file is
// renamed from: a rename within one folder replaces the old wallpaper in one step.
std::string PrepareScratch(const std::string& destination) {
    std::error_code error;
    const fs::path folder = fs::path(destination).parent_path();
    if (!folder.empty()) fs::create_directories(folder, error);
    if (error)
        throw PictorelleError("cannot make the folder " + folder.string() + ": " + error.message());
    return destination + ".part";
}

void CommitScratch(const std::string& scratch, const std::string& destination) {
    std::error_code error;
    fs::rename(scratch, destination, error);
    if (!error) return;
    fs::remove(scratch, error);
    throw PictorelleError("cannot write " + destination);
}

void CopyFileTo(const std::string& source, const std::string& destination) {
    const std::string scratch = PrepareScratch(destination);
    std::error_code error;
    fs::copy_file(source, scratch, fs::copy_options::overwrite_existing, error);
    if (error) {
        fs::remove(scratch, error);
        throw PictorelleError("cannot copy " + source + " to " + destination + ": " +
                              error.message());
    }
    CommitScratch(scratch, destination);
}

void WriteFileTo(const std::vector<uint8_t>& bytes, const std::string& destination) {
    const std::string scratch = PrepareScratch(destination);
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code error;
            fs::remove(scratch, error);
            throw PictorelleError("cannot write " + destination);
        }
    }
    CommitScratch(scratch, destination);
}

} // namespace

std::string WallpaperFilePath(const char* xdgDataHome, const char* home) {
    std::string dataHome;
    if (IsAbsoluteFolder(xdgDataHome))
        dataHome = xdgDataHome;
    else if (IsAbsoluteFolder(home))
        dataHome = std::string(home) + "/.local/share";
    else
        throw PictorelleError("no folder for the wallpaper: neither XDG_DATA_HOME nor HOME is set");
    while (dataHome.size() > 1 && dataHome.back() == '/')
        dataHome.pop_back();
    return dataHome + "/pictorelle/" + kWallpaperFileName;
}

std::string WallpaperFilePath() {
    const char* home = std::getenv("HOME");
    if (!IsAbsoluteFolder(home)) {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return WallpaperFilePath(std::getenv("XDG_DATA_HOME"), home);
}

std::vector<uint8_t> EncodeWindowsBitmap(const TBitmap32& bitmap) {
    const int64_t width = bitmap.Width(), height = bitmap.Height();
    const int64_t rowBytes = (width * 3 + 3) / 4 * 4;
    constexpr uint32_t kHeaderBytes = 14 + 40;
    const int64_t fileBytes = kHeaderBytes + rowBytes * height;
    if (fileBytes > INT32_MAX) throw PictorelleError("the picture is too large for a bitmap file");

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(fileBytes));
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    PutLE32(out, static_cast<uint32_t>(fileBytes));
    PutLE32(out, 0);
    PutLE32(out, kHeaderBytes);
    // BITMAPINFOHEADER: positive height, so rows go bottom-up as every reader expects
    PutLE32(out, 40);
    PutLE32(out, static_cast<uint32_t>(width));
    PutLE32(out, static_cast<uint32_t>(height));
    PutLE16(out, 1);  // planes
    PutLE16(out, 24); // bits per pixel
    PutLE32(out, 0);  // BI_RGB
    PutLE32(out, static_cast<uint32_t>(rowBytes * height));
    PutLE32(out, 3780); // 96 dots per inch, in dots per metre
    PutLE32(out, 3780);
    PutLE32(out, 0);
    PutLE32(out, 0);

    const size_t padding = static_cast<size_t>(rowBytes - width * 3);
    for (int64_t y = height - 1; y >= 0; --y) {
        const uint32_t* row = bitmap.ScanLine(static_cast<int>(y));
        for (int64_t x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            for (int shift : {0, 8, 16}) {
                const uint32_t c = (p >> shift) & 0xFF;
                out.push_back(static_cast<uint8_t>((c * a + 127) / 255));
            }
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

void WriteWallpaperFile(const std::string& source, const std::string& destination) {
    if (LowerExtension(source) == ".bmp") {
        CopyFileTo(source, destination);
        return;
    }
    const TDecodedPicture picture = DecodePicture(source);
    WriteFileTo(EncodeWindowsBitmap(picture.bitmap), destination);
}

void WriteItemWallpaper(const std::string& programFile, const Package& package, int index,
                        const std::string& destination) {
    if (index < 0 || index >= static_cast<int>(package.Items.size()))
        throw PictorelleError("no picture item " + std::to_string(index));
    const ItemRecord& item = package.Items[static_cast<size_t>(index)];
    if (ItemKindOf(item.Ext) != TItemKind::Picture)
        throw PictorelleError("item " + std::to_string(index) + " is not a picture");
    const TempFile file(TempFilePath("SSWIMG", item.Ext));
    ExtractEntry(programFile, file.Path(), package, item);
    WriteWallpaperFile(file.Path(), destination);
}

void DrawWallpaperNotice(TBitmap32& bitmap) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || bitmap.Empty()) return;
    QImage surface(reinterpret_cast<uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                   bitmap.BytesPerLine(), QImage::Format_ARGB32);
    QPainter painter(&surface);
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    const QString text = QString::fromLatin1(kWallpaperNotice);
    const QRect box(kWallpaperNoticeX, kWallpaperNoticeY, metrics.horizontalAdvance(text),
                    metrics.height());
    painter.fillRect(box, Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(kWallpaperNoticeX, kWallpaperNoticeY + metrics.ascent(), text);
}

} // namespace pictorelle
