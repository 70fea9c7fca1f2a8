#include "platform/Application.h"

#include <QCoreApplication>
#include <QThread>

namespace pictorelle {
namespace {

// The framework's application object is process-wide by nature; this is its remainder.
struct ApplicationState {
    QString title = QStringLiteral("Screen Saver");
    bool endRequested = false;
    int endStatus = 0;
};

ApplicationState& State() {
    static ApplicationState state;
    return state;
}

} // namespace

QString ApplicationTitle() {
    return State().title;
}

void SetApplicationTitle(const QString& title) {
    State().title = title;
}

void RequestApplicationEnd(int status) {
    ApplicationState& s = State();
    if (!s.endRequested) {
        s.endRequested = true;
        s.endStatus = status;
    }
    // Before the event loop runs, the entry sees the request and never starts it.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(s.endStatus);
}

bool ApplicationEndRequested() {
    return State().endRequested;
}

int ApplicationEndStatus() {
    return State().endStatus;
}

void ResetApplicationEnd() {
    State().endRequested = false;
    State().endStatus = 0;
}

} // namespace pictorelle
