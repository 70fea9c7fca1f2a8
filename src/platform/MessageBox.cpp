#include "platform/MessageBox.h"

#include <QMessageBox>
#include <cstdio>

namespace pictorelle {

void ShowMessage(const QString& text, const QString& caption, TMessageIcon icon) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(plain));
    std::fflush(stderr);

    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == TMessageIcon::Warning) boxIcon = QMessageBox::Warning;
    if (icon == TMessageIcon::Error) boxIcon = QMessageBox::Critical;
    QMessageBox box(boxIcon, caption, plain, QMessageBox::Ok);
    box.exec();
}

} // namespace pictorelle
