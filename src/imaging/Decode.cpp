#include "imaging/Decode.h"

#include "core/ExifOrientation.h"
#include "core/IntMath.h"
#include "core/TiffBlock.h"
#include "imaging/ColourProfile.h"
#include "imaging/DecoderParts.h"
#include "imaging/PictureFormats.h"
#include "imaging/Upright.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pictorelle {

namespace {

// The extension of the last path component, without its dot; empty when there is none.
std::string_view extensionOf(std::string_view path) {
    const auto slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

class FileHandle {
public:
    explicit FileHandle(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

std::vector<uint8_t> readWholeFile(const std::string& path) {
    const FileHandle file(path);
    if (file.fd() < 0) throw ImageError("cannot open " + path);
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        throw ImageError("not a regular file: " + path);
    if (info.st_size > kMaxPictureFileSize) throw ImageError("picture file too large: " + path);
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.fd(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw ImageError("cannot read " + path);
        if (got == 0) break; // the file shrank under us: decode what is there
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

} // namespace

void CheckPictureSize(int64_t width, int64_t height) {
    if (width < 1 || height < 1) throw ImageError("picture has no pixels");
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        throw ImageError("picture too large: " + std::to_string(width) + " x " +
                         std::to_string(height));
}

namespace {

// The cancel flag of the thread's current decoding, if any.
thread_local const std::atomic<bool>* tCancelFlag = nullptr;

// ceil(size / factor) fits within bound (0: anything fits).
bool fits(int size, int factor, int bound) {
    return bound <= 0 || CeilDiv(size, factor) <= bound;
}

} // namespace

TDecodeCancelScope::TDecodeCancelScope(const std::atomic<bool>* flag) : previous_(tCancelFlag) {
    tCancelFlag = flag;
}

TDecodeCancelScope::~TDecodeCancelScope() {
    tCancelFlag = previous_;
}

void CheckDecodeCancelled() {
    if (tCancelFlag && tCancelFlag->load(std::memory_order_relaxed)) throw TDecodeCancelled();
}

TDecodeRequest ResolveRequest(const TDecodePlan& plan, TSize natural) {
    TDecodeRequest r = plan ? plan(natural) : TDecodeRequest{};
    const TRect whole{0, 0, natural.width, natural.height};
    r.source = r.source.isEmpty() ? whole : r.source.intersected(whole);
    if (r.source.isEmpty()) r.source = whole;
    if (r.wanted.width <= 0) r.wanted.width = r.source.width();
    if (r.wanted.height <= 0) r.wanted.height = r.source.height();
    return r;
}

int LimitFactor(TSize part, TSize limit) {
    int factor = 1;
    // The result shrinks as the factor grows, so the first that fits is the smallest.
    if (limit.width > 0) factor = std::max(factor, CeilDiv(part.width, limit.width));
    if (limit.height > 0) factor = std::max(factor, CeilDiv(part.height, limit.height));
    while (!fits(part.width, factor, limit.width) || !fits(part.height, factor, limit.height))
        ++factor;
    return factor;
}

int ReductionFactor(TSize part, TSize wanted, TSize limit) {
    // ceil(size / f) >= wanted holds exactly while f <= floor((size - 1) / (wanted - 1)) for
    // wanted > 1; wanted <= 1 allows any factor up to the size itself.
    auto largest = [](int size, int want) {
        if (want <= 1) return std::max(size, 1);
        if (want >= size) return 1;
        return std::max((size - 1) / (want - 1), 1);
    };
    const int byWanted =
        std::min(largest(part.width, wanted.width), largest(part.height, wanted.height));
    return std::max(byWanted, LimitFactor(part, limit));
}

TPictureFormat FormatOfExtension(std::string_view extension) {
    const TPictureFormatRow* row = FormatRowOfExtension(extension);
    return row ? row->format : TPictureFormat::Unknown;
}

namespace {

TDecodedPicture decodeStored(std::span<const uint8_t> data, const TPictureFormatRow* row,
                             std::string_view extension, const TDecodePlan& plan) {
    if (!row) throw ImageError("no decoder for the extension \"" + std::string(extension) + "\"");
    if (!row->decode) throw ImageError(row->refusal ? row->refusal : "format not supported");
    return row->decode(data, plan);
}

// The orientation of a picture read from its bytes before decoding, so that the decode plan
// can be asked about the upright picture; 0 where the format's EXIF is not looked for here.
int orientationBeforeDecoding(std::span<const uint8_t> data, TPictureFormat format) {
    switch (format) {
    case TPictureFormat::Jpeg:
        return ExifOrientation(JpegExifBlock(data));
    case TPictureFormat::Png:
        return ExifOrientation(PngExifBlock(data));
    case TPictureFormat::Tiff:
        // A classic TIFF file is laid out like an EXIF block, its orientation tag included.
        return TTiffBlock::Open(data) ? ExifOrientation(data) : 0;
    default:
        return 0;
    }
}

} // namespace

void ApplySideInformation(TDecodedPicture& picture, int orientation) {
    // A profile that cannot be used leaves the pixels as decoded: taken as sRGB, like a
    // picture without one.
    if (!picture.iccProfile.empty() && !picture.coloursConverted)
        ConvertToSrgb(picture.bitmap, picture.iccProfile);
    TurnDecodedUpright(picture, orientation);
}

TDecodedPicture DecodePictureData(std::span<const uint8_t> data, std::string_view extension,
                                  const TDecodePlan& plan) {
    const TPictureFormatRow* row = FormatRowOfExtension(extension);
    const TPictureFormat format = row ? row->format : TPictureFormat::Unknown;
    const int known = orientationBeforeDecoding(data, format);
    TDecodedPicture picture =
        decodeStored(data, row, extension, StoredPlan(plan, std::max(known, 1)));
    // Where the orientation is only known from the decoder, the plan saw the stored picture;
    // turning it still shows it upright. The decoder's own reading of the format's tag is what
    // its rows follow, so it wins.
    int orientation = known;
    if (picture.orientation != 0)
        orientation = picture.orientation;
    else if (known == 0)
        orientation = ExifOrientation(picture.exif);
    ApplySideInformation(picture, orientation);
    return picture;
}

std::vector<uint8_t> ReadPictureFile(const std::string& path) {
    return readWholeFile(path);
}

TDecodedPicture DecodePicture(const std::string& path, const TDecodePlan& plan) {
    const std::string_view ext = extensionOf(path);
    // Refuse unknown formats before reading a possibly large file.
    const TPictureFormatRow* row = FormatRowOfExtension(ext);
    if (!row || !row->decode) return DecodePictureData({}, ext, plan);
    const std::vector<uint8_t> bytes = readWholeFile(path);
    return DecodePictureData(bytes, ext, plan);
}

} // namespace pictorelle
