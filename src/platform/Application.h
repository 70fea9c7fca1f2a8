// The application as a whole: its title (the caption of its message boxes) and the request to
// end it. An end may be requested before the event loop runs (while the main window is being
// created); the entry then never enters the loop.
#pragma once

#include <QString>

namespace pictorelle {

QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// Ends the event loop with the given status, or keeps it from starting. The first request's
// status stands.
void RequestApplicationEnd(int status = 0);
bool ApplicationEndRequested();
int ApplicationEndStatus();

// Forgets an earlier request; for tests that create several main windows in one process.
void ResetApplicationEnd();

} // namespace pictorelle
