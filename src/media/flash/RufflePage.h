// The page that hosts Ruffle, and the empty movie that warms it up. The page offers a small
// script interface, window.pictorelle: load(url, menu), unload(), play(), stop(), and state()
// with the movie's state as a number (TRuffleState).
#pragma once

#include <QByteArray>

namespace pictorelle::flash {

enum class TRuffleState {
    Starting = 0, // no movie yet, or it is still loading
    Running = 1,  // its main timeline runs
    Stopped = 2,  // its main timeline has stopped for good, or the movie failed
    Unknown = 3,  // Ruffle cannot tell (a one-frame movie, or one that hides its menu)
};

QByteArray RufflePageHtml(const QByteArray& publicPath);

// A one-frame movie of 1 x 1 pixel with nothing in it.
QByteArray BlankMovie();

} // namespace pictorelle::flash
