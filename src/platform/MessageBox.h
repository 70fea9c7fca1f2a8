// Message boxes. The text also goes to standard error, so that a user who started the player
// from a terminal sees why it stopped even when the box is out of sight.
#pragma once

#include <QString>

namespace pictorelle {

enum class TMessageIcon { Information, Warning, Error };

// Shows a modal box with one OK button and waits until it is closed. Line breaks may be
// "\r\n" as the package texts have them.
void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon);

} // namespace pictorelle
