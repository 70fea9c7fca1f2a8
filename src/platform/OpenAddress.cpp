#include "platform/OpenAddress.h"

#include "platform/SafeAddress.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <cstdio>
#include <string>

namespace pictorelle {

bool OpenAddress(std::string_view packageText) {
    const std::optional<std::string> address = SafeAddress(packageText);
    if (!address) {
        std::fprintf(stderr, "Not opening \"%s\": only web and mail addresses are opened.\n",
                     std::string(packageText).c_str());
        return false;
    }
    const QUrl url(QString::fromStdString(*address), QUrl::TolerantMode);
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

} // namespace pictorelle
