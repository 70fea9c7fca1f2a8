#include "show/PictureLoader.h"

#include "imaging/Decode.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <pthread.h>

namespace pictorelle {
namespace {

// Most pictures are composed within this; no one can tell the wait from an ordinary frame, and
// the interface thread's events keep their order.
constexpr auto kQuietWait = std::chrono::milliseconds(40);
// How often the event loop looks whether a slower picture is done.
constexpr int kPollMs = 5;

} // namespace

std::optional<TPictureItem> TPictureLoader::Run(TJob job) {
    Abandon();
    auto state = std::make_shared<TJobState>();
    job_ = state;
    worker_ = std::thread([state, work = std::move(job)] {
        // Named, so that a look at the process tells a picture is being composed.
        pthread_setname_np(pthread_self(), "picture-loader");
        const TDecodeCancelScope scope(&state->cancel);
        try {
            state->result.emplace(work());
        } catch (...) {
            state->error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> hold(state->lock);
            state->done = true;
        }
        state->finished.notify_all();
    });
    {
        std::unique_lock<std::mutex> hold(state->lock);
        state->finished.wait_for(hold, kQuietWait, [&] { return state->done; });
    }
    if (!state->Done() && !state->cancel) {
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(kPollMs);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (state->cancel || state->Done()) loop.quit();
        });
        poll.start();
        loop.exec();
    }
    // Leaving the loop unfinished means the application is ending.
    if (!state->Done()) state->cancel = true;
    if (worker_.joinable() && job_ == state) worker_.join();
    job_.reset();
    if (state->cancel) return std::nullopt;
    if (state->error) std::rethrow_exception(state->error);
    return std::move(state->result);
}

void TPictureLoader::Abandon() {
    if (job_) job_->cancel = true;
    if (worker_.joinable()) worker_.join();
}

} // namespace pictorelle
