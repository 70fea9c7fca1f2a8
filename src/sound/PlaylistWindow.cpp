#include "sound/PlaylistWindow.h"

#include "package/Translation.h"
#include "platform/Application.h"
#include "platform/MessageBox.h"
#include "platform/store/SqliteRegistry.h"
#include "sound/engine/AudioFormats.h"
#include "sound/engine/CustomPlaylist.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <filesystem>
#include <memory>

namespace pictorelle {

namespace {

QString Caption(const char* key) {
    return QString::fromStdString(Translate(key));
}

template <class W> W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

QToolButton* PictureButton(QWidget* parent, const char* name, TButtonPicture picture, int x,
                           int y) {
    auto* button = Make<QToolButton>(parent, name, x, y, 40, 25);
    button->setIcon(ButtonPicture(picture));
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

QIcon ButtonPicture(TButtonPicture picture) {
    QIcon icon;
    // One picture for the enabled state and a greyed one for the disabled state.
    for (const auto& [mode, colour] : {std::pair{QIcon::Normal, QColor(0x20, 0x20, 0x20)},
                                       std::pair{QIcon::Disabled, QColor(0xA0, 0xA0, 0xA0)}}) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPolygonF shape;
        switch (picture) {
        case TButtonPicture::Up:
            shape << QPointF(8, 3) << QPointF(14, 12) << QPointF(2, 12);
            break;
        case TButtonPicture::Down:
            shape << QPointF(2, 4) << QPointF(14, 4) << QPointF(8, 13);
            break;
        case TButtonPicture::Play:
            shape << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
            break;
        case TButtonPicture::Stop:
            shape << QPointF(3, 3) << QPointF(13, 3) << QPointF(13, 13) << QPointF(3, 13);
            break;
        }
        p.drawPolygon(shape);
        p.end();
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}

namespace {

// "Audio Files" with every pattern first, then one entry per kind, the way a Linux file
// dialog writes them: patterns separated by blanks inside the one pair of brackets.
QStringList MelodyFilter() {
    QStringList all, kinds;
    for (const TAudioKind& kind : AudioKinds()) {
        QStringList patterns;
        for (std::string_view ext : kind.extensions)
            patterns << QStringLiteral("*") +
                            QString::fromLatin1(ext.data(), static_cast<qsizetype>(ext.size()));
        all << patterns;
        kinds << QStringLiteral("%1 (%2)").arg(
            QString::fromLatin1(kind.name.data(), static_cast<qsizetype>(kind.name.size())),
            patterns.join(QLatin1Char(' ')));
    }
    kinds.prepend(QStringLiteral("Audio Files (%1)").arg(all.join(QLatin1Char(' '))));
    return kinds;
}

} // namespace

const QStringList TPlaylistWindow::kMelodyFilter = MelodyFilter();

TPlaylistWindow::TPlaylistWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("PlaylistWindow");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont("Tahoma", 8));

    lbMelodies = Make<QListWidget>(this, "lbMelodies", 8, 8, 376, 304);
    lbMelodies->setSelectionMode(QAbstractItemView::SingleSelection);
    btnMelodyAdd = Make<QPushButton>(this, "btnMelodyAdd", 394, 8, 84, 25);
    btnMelodyDelete = Make<QPushButton>(this, "btnMelodyDelete", 394, 40, 84, 25);
    btnMelodyDelAll = Make<QPushButton>(this, "btnMelodyDelAll", 394, 72, 84, 25);
    btnMelodyUp = PictureButton(this, "btnMelodyUp", TButtonPicture::Up, 394, 112);
    btnMelodyDown = PictureButton(this, "btnMelodyDown", TButtonPicture::Down, 438, 112);
    lblSoundPreview = Make<QLabel>(this, "lblSoundPreview", 394, 164, 84, 16);
    btnPlay = PictureButton(this, "btnPlay", TButtonPicture::Play, 394, 184);
    btnStop = PictureButton(this, "btnStop", TButtonPicture::Stop, 438, 184);
    btnClose = Make<QPushButton>(this, "btnClose", 394, 287, 84, 25);
    for (QWidget* off :
         {static_cast<QWidget*>(btnMelodyDelete), static_cast<QWidget*>(btnMelodyDelAll),
          static_cast<QWidget*>(btnMelodyUp), static_cast<QWidget*>(btnMelodyDown),
          static_cast<QWidget*>(btnPlay), static_cast<QWidget*>(btnStop)})
        off->setEnabled(false);

    MPlay = new TMediaPlayer(this);
    MPlay->setObjectName("MPlay");

    OpenMelodyDlg = new QFileDialog(this);
    OpenMelodyDlg->setObjectName("OpenMelodyDlg");
    OpenMelodyDlg->setFileMode(QFileDialog::ExistingFiles);
    OpenMelodyDlg->setOption(QFileDialog::DontUseNativeDialog);
    OpenMelodyDlg->setNameFilters(kMelodyFilter);
    RunOpenMelodyDlg = [](QFileDialog& dialog) { return dialog.exec() == QDialog::Accepted; };

    connect(btnMelodyAdd, &QPushButton::clicked, this, &TPlaylistWindow::btnMelodyAddClick);
    connect(btnMelodyDelete, &QPushButton::clicked, this, &TPlaylistWindow::btnMelodyDeleteClick);
    connect(btnMelodyDelAll, &QPushButton::clicked, this, &TPlaylistWindow::btnMelodyDelAllClick);
    connect(btnMelodyUp, &QToolButton::clicked, this, &TPlaylistWindow::btnMelodyUpClick);
    connect(btnMelodyDown, &QToolButton::clicked, this, &TPlaylistWindow::btnMelodyDownClick);
    connect(btnPlay, &QToolButton::clicked, this, &TPlaylistWindow::btnPlayClick);
    connect(btnStop, &QToolButton::clicked, this, &TPlaylistWindow::btnStopClick);
    connect(btnClose, &QPushButton::clicked, this, &TPlaylistWindow::btnCloseClick);

    setWindowTitle(Caption("My Playlist"));
    btnMelodyAdd->setText(Caption("Add"));
    btnMelodyDelete->setText(Caption("Remove"));
    btnMelodyDelAll->setText(Caption("Remove All"));
    lblSoundPreview->setText(Caption("Sound Preview"));
    btnClose->setText(Caption("Close"));
}

void TPlaylistWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

void TPlaylistWindow::LoadCustomPlayList(Registry& store, const std::string& key) {
    lbMelodies->clear();
    try {
        for (const std::string& line : ReadPlaylistLines(store, key))
            lbMelodies->addItem(QString::fromStdString(line));
    } catch (const RegistryError&) {
        // Nothing to show; what the user adds is written back if the store allows it.
    }
    UpdateButtons();
}

bool TPlaylistWindow::SaveCustomPlayList(Registry& store, const std::string& key) const {
    return pictorelle::SaveCustomPlayList(store, key, Lines());
}

std::vector<std::string> TPlaylistWindow::Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < lbMelodies->count(); ++i)
        lines.push_back(lbMelodies->item(i)->text().toStdString());
    return lines;
}

void TPlaylistWindow::UpdateButtons() {
    const bool any = lbMelodies->count() > 0;
    if (any && lbMelodies->currentRow() < 0) lbMelodies->setCurrentRow(0);
    for (QWidget* button :
         {static_cast<QWidget*>(btnMelodyDelete), static_cast<QWidget*>(btnMelodyDelAll),
          static_cast<QWidget*>(btnMelodyUp), static_cast<QWidget*>(btnMelodyDown),
          static_cast<QWidget*>(btnPlay), static_cast<QWidget*>(btnStop)})
        button->setEnabled(any);
}

void TPlaylistWindow::btnMelodyAddClick() {
    if (RunOpenMelodyDlg && RunOpenMelodyDlg(*OpenMelodyDlg)) {
        const QStringList files = OpenMelodyDlg->selectedFiles();
        for (const QString& file : files)
            lbMelodies->addItem(QFileInfo(file).absoluteFilePath());
        if (!files.isEmpty()) OpenMelodyDlg->setDirectory(QFileInfo(files.first()).absolutePath());
    }
    UpdateButtons();
}

void TPlaylistWindow::btnMelodyDeleteClick() {
    const int row = lbMelodies->currentRow();
    if (row >= 0) {
        delete lbMelodies->takeItem(row);
        const int count = lbMelodies->count();
        if (count > 0) lbMelodies->setCurrentRow(row < count ? row : count - 1);
    }
    UpdateButtons();
}

void TPlaylistWindow::btnMelodyDelAllClick() {
    lbMelodies->clear();
    UpdateButtons();
}

void TPlaylistWindow::MoveSelected(int step) {
    const int row = lbMelodies->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= lbMelodies->count()) return;
    QListWidgetItem* item = lbMelodies->takeItem(row);
    lbMelodies->insertItem(target, item);
    lbMelodies->setCurrentRow(target);
}

void TPlaylistWindow::btnMelodyUpClick() {
    MoveSelected(-1);
}

void TPlaylistWindow::btnMelodyDownClick() {
    MoveSelected(1);
}

void TPlaylistWindow::btnPlayClick() {
    const QListWidgetItem* item = lbMelodies->currentItem();
    if (!item) return;
    const std::string path = item->text().toStdString();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        ShowMessage(QStringLiteral("Specified file does not exist."), ApplicationTitle(),
                    TMessageIcon::Error);
        return;
    }
    MPlay->Close();
    MPlay->SetFileName(path);
    MPlay->Open();
    MPlay->Play();
}

void TPlaylistWindow::btnStopClick() {
    MPlay->Close();
}

void TPlaylistWindow::btnCloseClick() {
    close();
}

void EditCustomPlaylist(QWidget* parent, Registry& store, const std::string& saverTitle) {
    const std::string key = PlaylistKeyPath(saverTitle);
    TPlaylistWindow editor(parent);
    editor.LoadCustomPlayList(store, key);
    editor.exec();
    editor.SaveCustomPlayList(store, key);
}

void EditCustomPlaylist(QWidget* parent, const std::string& saverTitle) {
    std::unique_ptr<Registry> store;
    try {
        store = std::make_unique<SqliteRegistry>(SqliteRegistry::DefaultPath());
    } catch (const RegistryError&) {
        TPlaylistWindow editor(parent);
        editor.UpdateButtons();
        editor.exec();
        return;
    }
    EditCustomPlaylist(parent, *store, saverTitle);
}

} // namespace pictorelle
