// Composing a picture item away from the interface thread. A worker decodes and composes while
// the interface thread goes on handling its events, so a key or a mouse move ends the show at
// once however long a picture takes; closing abandons the work, and the decoders give up
// between two rows. One picture at a time.
#pragma once

#include "imaging/PictureItem.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace pictorelle {

class TPictureLoader {
public:
    using TJob = std::function<TPictureItem()>;

    TPictureLoader() = default;
    ~TPictureLoader() { Abandon(); }
    TPictureLoader(const TPictureLoader&) = delete;
    TPictureLoader& operator=(const TPictureLoader&) = delete;

    // Runs job on the worker and returns what it made. A picture ready within a moment comes
    // back without a single event handled; a slower one lets the interface thread's events run
    // meanwhile (which may call Abandon). Empty when the work was abandoned or the application
    // is ending; rethrows what the job threw. Interface thread only.
    std::optional<TPictureItem> Run(TJob job);

    // Asks the running job to stop and waits for its worker, which takes a few milliseconds.
    // Does nothing when no job runs. Interface thread only, also from within Run's events.
    void Abandon();

    // A job is running: the caller of Run is waiting further up the interface thread's stack.
    bool Busy() const { return worker_.joinable(); }

private:
    struct TJobState {
        std::atomic<bool> cancel{false};
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
        std::optional<TPictureItem> result;
        std::exception_ptr error;

        bool Done() {
            const std::lock_guard<std::mutex> hold(lock);
            return done;
        }
    };

    std::shared_ptr<TJobState> job_;
    std::thread worker_;
};

} // namespace pictorelle
