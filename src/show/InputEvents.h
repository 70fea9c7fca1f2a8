// Turning the framework's input events into the input messages the exit rules read.
#pragma once

#include "show/ExitRules.h"

#include <optional>

class QEvent;
class QObject;

namespace pictorelle {

// The message an event stands for, or none when the exit rules do not care about it. Input
// events reach the native window of a widget before the widget itself, so only events for a
// native window count (each is then seen once); an activation change counts only when it takes
// the activation away from all of the program's windows.
std::optional<TInput> InputFromEvent(QObject* watched, QEvent* event);

} // namespace pictorelle
