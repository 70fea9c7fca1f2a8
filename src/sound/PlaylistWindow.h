// "My Playlist": the modal editor of the user's own playlist, opened from the options panel.
// It shows the stored list one path per line, adds files through a file dialog, removes and
// reorders lines, previews a file on its own player MPlay, and writes the list back.
#pragma once

#include "media/MediaPlayer.h"
#include "package/Registry.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace pictorelle {

// The editor's picture buttons, drawn here rather than shipped as images.
enum class TButtonPicture { Up, Down, Play, Stop };
QIcon ButtonPicture(TButtonPicture picture);

class TPlaylistWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 486;
    static constexpr int kClientHeight = 320;
    // The file dialog's filter: every sound file the show plays, then each kind alone.
    static const QStringList kMelodyFilter;

    // FormCreate: builds the controls and sets the translated captions.
    explicit TPlaylistWindow(QWidget* parent = nullptr);

    // Store -> editor list: the stored entries up to the first gap, empty ones left out.
    // A store that cannot be read gives an empty list.
    void LoadCustomPlayList(Registry& store, const std::string& key);
    // Editor list -> store. False when the store could not be written (the edits are lost).
    bool SaveCustomPlayList(Registry& store, const std::string& key) const;

    // The list's lines, in order.
    std::vector<std::string> Lines() const;

    // Buttons follow the list: with no lines only Add and Close work; otherwise a line is
    // selected (the first when none was) and all are enabled.
    void UpdateButtons();

    void btnMelodyAddClick();
    void btnMelodyDeleteClick();
    void btnMelodyDelAllClick();
    void btnMelodyUpClick();
    void btnMelodyDownClick();
    void btnPlayClick();
    void btnStopClick();
    void btnCloseClick();

    QListWidget* lbMelodies;
    QPushButton* btnMelodyAdd;
    QPushButton* btnMelodyDelete;
    QPushButton* btnMelodyDelAll;
    QToolButton* btnMelodyUp;
    QToolButton* btnMelodyDown;
    QLabel* lblSoundPreview;
    QToolButton* btnPlay;
    QToolButton* btnStop;
    QPushButton* btnClose;
    TMediaPlayer* MPlay;
    QFileDialog* OpenMelodyDlg;

    // Runs OpenMelodyDlg; true when the user confirmed. Replaceable so that a test can
    // answer the dialog.
    std::function<bool(QFileDialog&)> RunOpenMelodyDlg;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MoveSelected(int step);
};

// btnPlaylistEditorClick: reads the list into a new editor, shows it modally and writes the
// list back, whichever way the editor was closed. The per-user store is opened here; when it
// cannot be, the editor starts empty and its edits are lost.
void EditCustomPlaylist(QWidget* parent, const std::string& saverTitle);
void EditCustomPlaylist(QWidget* parent, Registry& store, const std::string& saverTitle);

} // namespace pictorelle
