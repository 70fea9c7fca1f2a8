// The picture loader on a real event loop: a quick picture comes back without an event handled,
// a slow one lets events run meanwhile, an event that abandons it ends the wait at once and the
// decoders' cancel check sees it, and what the job throws reaches the caller.
#include "UiTestApp.h"
#include "imaging/Decode.h"
#include "show/PictureLoader.h"

#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace pictorelle::test {
namespace {

TPictureItem Sized(int width) {
    TPictureItem item;
    item.frame.SetSize(width, 1);
    return item;
}

TEST(PictureLoader, QuickSlowAbandonedAndFailingJobs) {
    UiApp();
    TPictureLoader loader;
    bool eventRan = false;
    QTimer::singleShot(0, [&] { eventRan = true; });
    std::optional<TPictureItem> quick = loader.Run([] { return Sized(3); });
    ASSERT_TRUE(quick);
    EXPECT_EQ(quick->frame.Width(), 3);
    EXPECT_FALSE(eventRan) << "a quick picture keeps the events waiting";

    std::optional<TPictureItem> slow = loader.Run([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return Sized(5);
    });
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->frame.Width(), 5);
    EXPECT_TRUE(eventRan) << "a slow picture lets the events run";

    // A decoder that only ever stops when told to: the event that closes the show tells it.
    QTimer::singleShot(100, [&] {
        EXPECT_TRUE(loader.Busy());
        loader.Abandon();
        EXPECT_FALSE(loader.Busy());
    });
    const auto start = std::chrono::steady_clock::now();
    const std::optional<TPictureItem> abandoned = loader.Run([]() -> TPictureItem {
        for (;;) {
            CheckDecodeCancelled();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_FALSE(abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(loader.Busy());

    EXPECT_THROW(loader.Run([]() -> TPictureItem { throw ImageError("broken"); }), ImageError);
}

} // namespace
} // namespace pictorelle::test
