#include "platform/ScreenCopy.h"

#include "platform/Wayland.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <poll.h>
#include <qpa/qplatformnativeinterface.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace pictorelle {
namespace {

using Clock = std::chrono::steady_clock;

// A compositor answers within a frame or two; one that does not within this is not waited for,
// and the show starts from its own background.
constexpr std::chrono::milliseconds kFrameWait{2000};

// Larger than any output a compositor drives.
constexpr uint32_t kMaxSide = 32768;

// What the compositor has told about the frame so far.
struct FrameState {
    bool shmOffered = false;
    uint32_t format = 0, width = 0, height = 0, stride = 0;
    bool buffersListed = false;
    uint32_t flags = 0;
    bool ready = false, failed = false;
};

// The 32-bit formats whose pixels, read as native little-endian words, are 0xAARRGGBB (or
// 0xAABBGGRR for the swapped pair): the ones every compositor offers for shared memory.
bool KnownFormat(uint32_t format) {
    return format == WL_SHM_FORMAT_ARGB8888 || format == WL_SHM_FORMAT_XRGB8888 ||
           format == WL_SHM_FORMAT_ABGR8888 || format == WL_SHM_FORMAT_XBGR8888;
}

void OnBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width,
              uint32_t height, uint32_t stride) {
    auto* frame = static_cast<FrameState*>(data);
    if (frame->shmOffered || !KnownFormat(format)) return;
    frame->shmOffered = true;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    frame->stride = stride;
}
void OnFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<FrameState*>(data)->flags = flags;
}
void OnReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<FrameState*>(data)->ready = true;
}
void OnFailed(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<FrameState*>(data)->failed = true;
}
void OnDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void OnBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<FrameState*>(data)->buffersListed = true;
}

const zwlr_screencopy_frame_v1_listener kFrameListener{OnBuffer, OnFlags,  OnReady,     OnFailed,
                                                       OnDamage, OnDmabuf, OnBufferDone};

// Dispatches queue until done() holds, the connection breaks or the deadline passes. Qt's own
// thread reads the same connection; libwayland's prepare/read handshake lets both read it.
bool DispatchUntil(wl_display* display, wl_event_queue* queue, const std::function<bool()>& done,
                   Clock::time_point deadline) {
    for (;;) {
        if (wl_display_dispatch_queue_pending(display, queue) < 0) return false;
        if (done()) return true;
        if (wl_display_prepare_read_queue(display, queue) != 0) continue;
        wl_display_flush(display);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) > 0) {
            if (wl_display_read_events(display) < 0) return false;
        } else {
            wl_display_cancel_read(display);
        }
    }
}

// A private shared-memory buffer for one frame, gone with the scope.
class ShmBuffer {
public:
    ShmBuffer(wl_shm* shm, const FrameState& frame) : size_(size_t{frame.stride} * frame.height) {
        // Sizes are the compositor's word: a frame no output has, or one whose rows would not
        // hold its pixels, gets no buffer.
        if (frame.width == 0 || frame.width > kMaxSide || frame.height == 0 ||
            frame.height > kMaxSide || size_t{frame.stride} < size_t{frame.width} * 4 ||
            size_ > size_t{INT32_MAX})
            return;
        fd_ = memfd_create("pictorelle-screen-copy", MFD_CLOEXEC);
        if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(size_)) != 0) return;
        void* map = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (map == MAP_FAILED) return;
        pixels_ = static_cast<uint8_t*>(map);
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd_, static_cast<int32_t>(size_));
        buffer_ = wl_shm_pool_create_buffer(pool, 0, static_cast<int32_t>(frame.width),
                                            static_cast<int32_t>(frame.height),
                                            static_cast<int32_t>(frame.stride), frame.format);
        wl_shm_pool_destroy(pool);
    }
    ~ShmBuffer() {
        if (buffer_) wl_buffer_destroy(buffer_);
        if (pixels_) munmap(pixels_, size_);
        if (fd_ >= 0) close(fd_);
    }
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* Buffer() const { return buffer_; }
    const uint8_t* Pixels() const { return pixels_; }

private:
    size_t size_;
    int fd_ = -1;
    uint8_t* pixels_ = nullptr;
    wl_buffer* buffer_ = nullptr;
};

// The frame as an opaque picture the right way up, its red and blue where QImage wants them.
QImage FrameImage(const FrameState& frame, const uint8_t* pixels) {
    QImage image(static_cast<int>(frame.width), static_cast<int>(frame.height),
                 QImage::Format_RGB32);
    const bool swapped =
        frame.format == WL_SHM_FORMAT_ABGR8888 || frame.format == WL_SHM_FORMAT_XBGR8888;
    const bool upsideDown = (frame.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    for (int y = 0; y < image.height(); ++y) {
        const int from = upsideDown ? image.height() - 1 - y : y;
        const auto* in = reinterpret_cast<const uint32_t*>(pixels + size_t{frame.stride} * from);
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t p = in[x];
            out[x] = 0xFF000000u |
                     (swapped ? ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu) : p);
        }
    }
    return image;
}

void DrawOpaque(const QImage& image, TBitmap32& surface) {
    const int width = std::min(image.width(), surface.Width());
    const int height = std::min(image.height(), surface.Height());
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        std::copy(from, from + width, surface.ScanLine(y));
    }
}

// The objects of one copy, on a queue of our own, let go whatever way the copy ends.
struct Session {
    explicit Session(wl_display* d) : display(d), queue(wl_display_create_queue(d)) {}
    ~Session() {
        if (frame) zwlr_screencopy_frame_v1_destroy(frame);
        if (manager) zwlr_screencopy_manager_v1_destroy(manager);
        if (shm) wl_shm_destroy(shm);
        wl_display_flush(display);
        wl_event_queue_destroy(queue);
    }
    wl_display* display;
    wl_event_queue* queue;
    zwlr_screencopy_manager_v1* manager = nullptr;
    wl_shm* shm = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;
};

} // namespace

TScreenCopyResult CopyWaylandOutput(QScreen& screen, TBitmap32& surface) {
    wl_display* display = QtWaylandDisplay();
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* output = native
                       ? static_cast<wl_output*>(native->nativeResourceForScreen("output", &screen))
                       : nullptr;
    if (!display || !output) return TScreenCopyResult::Unsupported;

    Session s(display);
    uint32_t version = 0;
    s.manager = static_cast<zwlr_screencopy_manager_v1*>(
        BindWaylandGlobal(display, s.queue, zwlr_screencopy_manager_v1_interface, 3, &version));
    if (!s.manager) return TScreenCopyResult::Unsupported;
    s.shm = static_cast<wl_shm*>(BindWaylandGlobal(display, s.queue, wl_shm_interface, 1));
    if (!s.shm) return TScreenCopyResult::Unsupported;

    const Clock::time_point deadline = Clock::now() + kFrameWait;
    FrameState frame;
    s.frame = zwlr_screencopy_manager_v1_capture_output(s.manager, 0, output);
    zwlr_screencopy_frame_v1_add_listener(s.frame, &kFrameListener, &frame);
    // Before version 3 the shared-memory offer is all there is, and comes alone.
    const bool listed = DispatchUntil(
        display, s.queue,
        [&] { return frame.failed || (version >= 3 ? frame.buffersListed : frame.shmOffered); },
        deadline);
    if (!listed || frame.failed || !frame.shmOffered) return TScreenCopyResult::Failed;

    const ShmBuffer buffer(s.shm, frame);
    if (!buffer.Buffer()) return TScreenCopyResult::Failed;
    zwlr_screencopy_frame_v1_copy(s.frame, buffer.Buffer());
    if (!DispatchUntil(
            display, s.queue, [&] { return frame.ready || frame.failed; }, deadline) ||
        !frame.ready)
        return TScreenCopyResult::Failed;

    QImage image = FrameImage(frame, buffer.Pixels());
    // The buffer holds the output's device pixels; the show paints in the screen's own.
    const QSize logical = screen.geometry().size();
    if (image.size() != logical && !logical.isEmpty())
        image = image.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB32);
    DrawOpaque(image, surface);
    return TScreenCopyResult::Copied;
}

} // namespace pictorelle
