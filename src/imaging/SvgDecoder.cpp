// SVG and SVGZ through librsvg and cairo. A vector picture is drawn at the size it is shown,
// never scaled up from a smaller bitmap. Its natural size, which placement works with, is its
// width and height at 96 dots an inch; a picture that gives only a viewBox (or sizes in
// percent) is kSvgDefaultSide on its longer side in the viewBox's proportions, and one with
// neither is kSvgDefaultSide x 3/4 of it. Pictures are read from memory without a base
// address, so a document cannot pull in local files; librsvg's own limits stay on.
#include "core/LibraryChatter.h"
#include "imaging/DecoderParts.h"

#include <algorithm>
#include <cairo.h>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <librsvg/rsvg.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pictorelle {

namespace {

constexpr double kSvgDefaultSide = 1024;
constexpr double kSvgDpi = 96;

struct ObjectDeleter {
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};
struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct CairoDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

[[noreturn]] void fail(GError* error, const char* what) {
    std::string message = std::string("SVG: ") + what;
    if (error) {
        // librsvg's parse errors end in a line break; a skipped picture gets one line.
        std::string detail = error->message ? error->message : "";
        g_error_free(error);
        std::replace(detail.begin(), detail.end(), '\n', ' ');
        while (!detail.empty() && std::isspace(static_cast<unsigned char>(detail.back())))
            detail.pop_back();
        if (!detail.empty()) message += ": " + detail;
    }
    throw ImageError(message);
}

// Brings a size within our limits, keeping its proportions: a vector picture may claim any
// size, and drawing it smaller loses nothing.
TSize withinLimits(double width, double height) {
    double scale = 1;
    scale = std::min(scale, kMaxPictureSide / width);
    scale = std::min(scale, kMaxPictureSide / height);
    scale = std::min(scale, std::sqrt(static_cast<double>(kMaxPicturePixels) / (width * height)));
    return {std::max(1, static_cast<int>(width * scale)),
            std::max(1, static_cast<int>(height * scale))};
}

TSize naturalSize(RsvgHandle* handle) {
    double width = 0, height = 0;
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height) && width >= 0.5 &&
        height >= 0.5 && std::isfinite(width) && std::isfinite(height))
        return withinLimits(std::ceil(width), std::ceil(height));
    gboolean hasViewBox = FALSE;
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox,
                                         &viewBox);
    if (hasViewBox && viewBox.width > 0 && viewBox.height > 0 && std::isfinite(viewBox.width) &&
        std::isfinite(viewBox.height)) {
        const double scale = kSvgDefaultSide / std::max(viewBox.width, viewBox.height);
        return withinLimits(std::max(1.0, std::round(viewBox.width * scale)),
                            std::max(1.0, std::round(viewBox.height * scale)));
    }
    return {static_cast<int>(kSvgDefaultSide), static_cast<int>(kSvgDefaultSide * 3 / 4)};
}

// The size the source part is drawn at: what the plan wants of it, held to its limit and to
// ours.
TSize drawnSize(const TDecodeRequest& req) {
    double width = std::max(req.wanted.width, 1), height = std::max(req.wanted.height, 1);
    double scale = 1;
    if (req.limit.width > 0) scale = std::min(scale, req.limit.width / width);
    if (req.limit.height > 0) scale = std::min(scale, req.limit.height / height);
    return withinLimits(std::max(1.0, std::floor(width * scale)),
                        std::max(1.0, std::floor(height * scale)));
}

// Draws the source part of the document into pixels (cairo's premultiplied ARGB32, one row
// after another); false when librsvg refuses.
bool draw(RsvgHandle* handle, const TDecodeRequest& req, TSize natural, TSize size,
          unsigned char* pixels) {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(cairo_image_surface_create_for_data(
        pixels, CAIRO_FORMAT_ARGB32, size.width, size.height, size.width * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface.get()));
    // The source part of the whole picture, stretched over the bitmap.
    cairo_scale(cr.get(), static_cast<double>(size.width) / req.source.width(),
                static_cast<double>(size.height) / req.source.height());
    cairo_translate(cr.get(), -req.source.left, -req.source.top);
    const RsvgRectangle viewport{0, 0, static_cast<double>(natural.width),
                                 static_cast<double>(natural.height)};
    GError* error = nullptr;
    if (!rsvg_handle_render_document(handle, cr.get(), &viewport, &error)) {
        if (error) g_error_free(error);
        return false;
    }
    cairo_surface_flush(surface.get());
    return true;
}

// librsvg ends the whole process when a damaged document trips one of its own assertions (a
// text of an absurd size, for one). So the document is drawn in a child process that shares
// only the pixels with us: a document that kills its drawer is a picture that cannot be
// decoded, not a show that ends. A drawer that hangs is stopped after a while, or as soon as
// the decoding is abandoned.
void drawInChild(RsvgHandle* handle, const TDecodeRequest& req, TSize natural, TSize size,
                 TBitmap32& bitmap) {
    const size_t bytes = static_cast<size_t>(size.width) * size.height * 4;
    void* shared = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (shared == MAP_FAILED) throw std::bad_alloc();
    struct Unmap {
        void* at;
        size_t bytes;
        ~Unmap() { munmap(at, bytes); }
    } unmap{shared, bytes};

    const pid_t child = fork();
    if (child < 0) throw ImageError("SVG: cannot start drawing the document");
    if (child == 0) {
        // What librsvg says as it fails is its own business, not the terminal's.
        if (!LibraryChatterWanted()) {
            const int quiet = open("/dev/null", O_WRONLY);
            if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        }
        _exit(draw(handle, req, natural, size, static_cast<unsigned char*>(shared)) ? 0 : 1);
    }
    auto stop = [&] {
        kill(child, SIGKILL);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) throw ImageError("SVG: lost the drawing process");
        try {
            CheckDecodeCancelled();
        } catch (...) {
            stop();
            throw;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            throw ImageError("SVG: drawing the document takes too long");
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10'000));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw ImageError("SVG: cannot draw the document");
    std::memcpy(bitmap.Bits(), shared, bytes);
}

// cairo's premultiplied pixels made straight again.
void unpremultiply(TBitmap32& bitmap) {
    uint32_t* p = bitmap.Bits();
    const size_t count = static_cast<size_t>(bitmap.Width()) * bitmap.Height();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t a = p[i] >> 24;
        if (a == 255) continue;
        if (a == 0) {
            p[i] = 0;
            continue;
        }
        auto channel = [&](int shift) {
            const uint32_t c = (p[i] >> shift) & 0xFF;
            return std::min<uint32_t>((c * 255 + a / 2) / a, 255) << shift;
        };
        p[i] = (a << 24) | channel(16) | channel(8) | channel(0);
    }
}

} // namespace

namespace decoders {

TDecodedPicture DecodeSvg(std::span<const uint8_t> data, const TDecodePlan& plan) {
    GError* error = nullptr;
    std::unique_ptr<RsvgHandle, ObjectDeleter> handle(
        rsvg_handle_new_from_data(data.data(), data.size(), &error));
    if (!handle) fail(error, "not an SVG document, or a damaged one");
    rsvg_handle_set_dpi(handle.get(), kSvgDpi);

    TDecodedPicture out;
    out.natural = naturalSize(handle.get());
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    const TSize size = drawnSize(req);
    CheckDecodeCancelled();

    out.bitmap.SetSize(size.width, size.height);
    drawInChild(handle.get(), req, out.natural, size, out.bitmap);
    unpremultiply(out.bitmap);
    out.source = req.source;
    return out;
}

} // namespace decoders

} // namespace pictorelle
