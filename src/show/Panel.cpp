#include "show/Panel.h"

namespace pictorelle {

TPanel::TPanel(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
}

} // namespace pictorelle
