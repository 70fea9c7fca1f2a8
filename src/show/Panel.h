// TPanel: a plain container of the main window. The host component tells the window's panels
// from its other controls by this class (in options mode it hides every panel but the options
// panel).
#pragma once

#include <QFrame>

namespace pictorelle {

class TPanel : public QFrame {
    Q_OBJECT
public:
    TPanel(const QString& name, QWidget* parent);
};

} // namespace pictorelle
