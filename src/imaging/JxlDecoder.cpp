// JPEG XL through libjxl: the first frame, upright (libjxl applies the file's orientation),
// asked for in sRGB. A lossy file is converted by libjxl itself; a lossless one keeps its own
// colour space, whose profile then travels with the pixels. Failure becomes ImageError.
#include "core/LibraryChatter.h"
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pictorelle {

namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

bool isSrgb(const JxlColorEncoding& c) {
    return (c.color_space == JXL_COLOR_SPACE_RGB || c.color_space == JXL_COLOR_SPACE_GRAY) &&
           c.white_point == JXL_WHITE_POINT_D65 &&
           (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB) &&
           c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Asks for sRGB pixels and returns the profile of the pixels libjxl will actually deliver
// when they are not sRGB.
std::vector<uint8_t> settleColour(JxlDecoder* dec) {
    JxlColorEncoding srgb{};
    srgb.color_space = JXL_COLOR_SPACE_RGB;
    srgb.white_point = JXL_WHITE_POINT_D65;
    srgb.primaries = JXL_PRIMARIES_SRGB;
    srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    JxlDecoderSetPreferredColorProfile(dec, &srgb); // refused for lossless files: fine
    JxlColorEncoding target{};
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &target) ==
            JXL_DEC_SUCCESS &&
        isSrgb(target))
        return {};
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxIccProfileBytes)
        return {};
    std::vector<uint8_t> profile(size);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(),
                                       size) != JXL_DEC_SUCCESS)
        return {};
    return profile;
}

TDecodedPicture decodeHere(std::span<const uint8_t> data, const TDecodePlan& plan) {
    std::unique_ptr<JxlDecoder, DecoderDeleter> dec(JxlDecoderCreate(nullptr));
    std::unique_ptr<void, RunnerDeleter> runner(
        JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
    if (!dec || !runner) throw std::bad_alloc();
    if (JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                 JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec.get(), data.data(), data.size()) != JXL_DEC_SUCCESS)
        throw ImageError("JPEG XL: cannot start decoding");
    JxlDecoderCloseInput(dec.get());

    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    TDecodedPicture out;
    std::vector<uint8_t> pixels;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        CheckDecodeCancelled();
        if (status == JXL_DEC_ERROR) throw ImageError("JPEG XL: damaged file");
        if (status == JXL_DEC_NEED_MORE_INPUT) throw ImageError("JPEG XL: the file ends early");
        if (status == JXL_DEC_FULL_IMAGE) break; // the first frame is the picture
        if (status == JXL_DEC_SUCCESS) throw ImageError("JPEG XL: no image in the file");
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info{};
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS)
                throw ImageError("JPEG XL: damaged header");
            CheckPictureSize(info.xsize, info.ysize);
            // The size is given as stored; orientations 5 to 8 turn it by a quarter.
            const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
            out.natural = turned
                              ? TSize{static_cast<int>(info.ysize), static_cast<int>(info.xsize)}
                              : TSize{static_cast<int>(info.xsize), static_cast<int>(info.ysize)};
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            out.iccProfile = settleColour(dec.get());
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size != size_t{4} * static_cast<size_t>(out.natural.width) *
                            static_cast<size_t>(out.natural.height))
                throw ImageError("JPEG XL: the image does not match its header");
            pixels.resize(size);
            if (JxlDecoderSetImageOutBuffer(dec.get(), &format, pixels.data(), size) !=
                JXL_DEC_SUCCESS)
                throw ImageError("JPEG XL: cannot take the image");
        }
    }
    if (pixels.empty()) throw ImageError("JPEG XL: no image in the file");
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    const int factor = ReductionFactor(req.source.size(), req.wanted, req.limit);
    out.bitmap = ReduceRgbaPicture(
        pixels.data(), size_t{4} * static_cast<size_t>(out.natural.width), req.source, factor);
    out.source = req.source;
    return out;
}

// What the child hands back, in one anonymous file: a header, then the profile's bytes and
// the pixels, or the message of the failure.
struct ChildResult {
    uint32_t failed; // 0: a picture follows; 1: a message follows
    int32_t natural[2];
    int32_t source[4];
    int32_t size[2];
    uint64_t profileBytes;
    uint64_t messageBytes;
};

bool writeAll(int fd, const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t done = ::write(fd, p, bytes);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done;
        bytes -= static_cast<size_t>(done);
    }
    return true;
}

bool readAll(int fd, uint64_t at, void* data, size_t bytes) {
    auto* p = static_cast<uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t done = ::pread(fd, p, bytes, static_cast<off_t>(at));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done;
        at += static_cast<uint64_t>(done);
        bytes -= static_cast<size_t>(done);
    }
    return true;
}

[[noreturn]] void decodeInChild(std::span<const uint8_t> data, const TDecodePlan& plan, int fd) {
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (quiet >= 0) ::dup2(quiet, STDERR_FILENO);
    ChildResult r{};
    try {
        const TDecodedPicture out = decodeHere(data, plan);
        r.natural[0] = out.natural.width;
        r.natural[1] = out.natural.height;
        r.source[0] = out.source.left;
        r.source[1] = out.source.top;
        r.source[2] = out.source.right;
        r.source[3] = out.source.bottom;
        r.size[0] = out.bitmap.Width();
        r.size[1] = out.bitmap.Height();
        r.profileBytes = out.iccProfile.size();
        const size_t pixels = size_t{4} * static_cast<size_t>(out.bitmap.Width()) *
                              static_cast<size_t>(out.bitmap.Height());
        const bool ok = writeAll(fd, &r, sizeof r) &&
                        writeAll(fd, out.iccProfile.data(), out.iccProfile.size()) &&
                        writeAll(fd, out.bitmap.Bits(), pixels);
        ::_exit(ok ? 0 : 3);
    } catch (const ImageError& e) {
        const std::string message = e.what();
        r.failed = 1;
        r.messageBytes = message.size();
        ::_exit(writeAll(fd, &r, sizeof r) && writeAll(fd, message.data(), message.size()) ? 0 : 3);
    } catch (...) {
        ::_exit(3);
    }
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// libjxl writes lines of its own to standard error as it gives up on a damaged file, and has
// no switch to keep them in. So the file is decoded in a child process whose standard error
// goes nowhere, and the picture comes back through an anonymous file. A child that dies is a
// picture that cannot be decoded; an abandoned decoding stops the child.
TDecodedPicture decodeQuietly(std::span<const uint8_t> data, const TDecodePlan& plan) {
    const FdCloser file{::memfd_create("pictorelle-jxl", MFD_CLOEXEC)};
    if (file.fd < 0) return decodeHere(data, plan);
    const pid_t child = ::fork();
    if (child < 0) return decodeHere(data, plan);
    if (child == 0) decodeInChild(data, plan, file.fd);
    auto stop = [&] {
        ::kill(child, SIGKILL);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    };
    int status = 0;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) throw ImageError("JPEG XL: lost the decoding process");
        try {
            CheckDecodeCancelled();
        } catch (...) {
            stop();
            throw;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10'000));
    }
    ChildResult r{};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !readAll(file.fd, 0, &r, sizeof r))
        throw ImageError("JPEG XL: damaged file");
    if (r.failed) {
        std::string message(std::min<uint64_t>(r.messageBytes, 1024), '\0');
        if (!readAll(file.fd, sizeof r, message.data(), message.size()))
            throw ImageError("JPEG XL: damaged file");
        throw ImageError(message);
    }
    TDecodedPicture out;
    CheckPictureSize(r.natural[0], r.natural[1]);
    CheckPictureSize(r.size[0], r.size[1]);
    if (r.profileBytes > kMaxIccProfileBytes) throw ImageError("JPEG XL: damaged file");
    out.natural = {r.natural[0], r.natural[1]};
    out.source = TRect{r.source[0], r.source[1], r.source[2], r.source[3]};
    out.iccProfile.resize(r.profileBytes);
    out.bitmap.SetSize(r.size[0], r.size[1]);
    const size_t pixels =
        size_t{4} * static_cast<size_t>(r.size[0]) * static_cast<size_t>(r.size[1]);
    if (!readAll(file.fd, sizeof r, out.iccProfile.data(), out.iccProfile.size()) ||
        !readAll(file.fd, sizeof r + r.profileBytes, out.bitmap.Bits(), pixels))
        throw ImageError("JPEG XL: damaged file");
    return out;
}

} // namespace

namespace decoders {

TDecodedPicture DecodeJxl(std::span<const uint8_t> data, const TDecodePlan& plan) {
    return LibraryChatterWanted() ? decodeHere(data, plan) : decodeQuietly(data, plan);
}

} // namespace decoders

} // namespace pictorelle
