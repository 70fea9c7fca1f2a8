// The options panel (the main window's CfgBox): the settings a user may change, grouped on
// five tabs, with the package's banner above them and the About, Website and Close buttons
// beside them. It shows a SaverSettings, keeps the panel's own codes while the user edits,
// and gives the edited settings back when the window closes.
#pragma once

#include "package/PackageLayout.h"
#include "package/SaverSettings.h"
#include "show/EffectPreview.h"

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QSpinBox>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTimer;

namespace pictorelle {

// The seconds box accepts a typed fraction ("7.9") and keeps its whole-number part.
class TSecondsEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    // What the box holds now, typed text included, without the fraction.
    int WholeSeconds() const { return valueFromText(cleanText()); }

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
};

// A picture label that reports clicks; the banner sits in one.
class TClickableLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class TOptionsPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 513;
    static constexpr int kHeight = 381;
    static constexpr int kBannerStripHeight = 69;
    static constexpr int kLinkStripHeight = 15;

    explicit TOptionsPanel(QWidget* parent = nullptr);
    // A running effect preview is stopped and waited for first.
    ~TOptionsPanel() override;

    // The effect preview: shows the second sample picture and starts the preview timer.
    void StartEffectPreview();
    // The panel as the options mode shows it: the banner strip (see ShowBanner), the effect
    // preview and the controls.
    void Arrange(const QImage& banner, bool hasLink);

    // Puts the settings on the panel (edSeconds, order, size and position, effects, speed,
    // the checkboxes and the playlist choice).
    void ShowSettings(const SaverSettings& settings);
    // The settings as the panel holds them now, over the given ones (values the panel does
    // not show are kept).
    SaverSettings CollectSettings(SaverSettings settings) const;

    // Package rules: hidden tabs, the playlist group for packages without melodies or without
    // the user's own playlist, the dual-monitor group only with more than one monitor.
    void ApplyPackageRules(const PackageHeader& header, int melodyCount, int monitorCount);
    // The banner strip: shown with a picture (a hand cursor when it links somewhere), hidden
    // without one; the panel shrinks accordingly. The Link strip is always dropped.
    void ShowBanner(const QImage& banner, bool hasLink);
    void SetWebsiteVisible(bool visible);

    // Replaces the captions with their translations (the translation table must be built).
    void RenameFormControls();

    // The code each group holds while the user edits.
    int SizeCode() const { return sizeCode_; }
    int PositionCode() const { return positionCode_; }
    int OrderCode() const { return orderCode_; }

    // Named controls, as the rest of the program and the tests reach them.
    QFrame* BannerPlaceHolderPanel;
    QFrame* PanelWebBanner;
    TClickableLabel* imgBanner;
    QFrame* ConfigControlsPanel;
    QTabWidget* PageControl;
    QPushButton* btnAbout;
    QPushButton* btnWebsite;
    QPushButton* btnClose;
    QLabel* Link;
    QWidget* tsGeneral;
    QWidget* tsPosition;
    QWidget* tsEffects;
    QWidget* tsSound;
    QWidget* tsBehavior;
    QGroupBox* GroupBox3;
    QLabel* Label12;
    TSecondsEdit* edSeconds;
    QLabel* Label13;
    QGroupBox* gbOrder;
    QRadioButton* rbSequential;
    QRadioButton* rbRandom;
    QRadioButton* rbMixed;
    QGroupBox* GroupBox2;
    QCheckBox* cbDesktop;
    QGroupBox* gbSize;
    QRadioButton* rbSizeResize;
    QRadioButton* rbSizeResizeBig;
    QRadioButton* rbSizeStretch;
    QRadioButton* rbSizeNone;
    QLabel* Label37;
    QGroupBox* gbPosition;
    QRadioButton* rbPosCenter;
    QRadioButton* rbPosRandom;
    QGroupBox* GroupBox9;
    QListWidget* lbEffects;
    QPushButton* btnSelectAll;
    QPushButton* btnSelectNone;
    QFrame* Panel3;
    std::unique_ptr<TEffectPreview> Preview;
    QGroupBox* GroupBox6;
    QLabel* Label16;
    QSlider* tbEffectSpeed;
    QLabel* Label26;
    QGroupBox* GroupBox10;
    QCheckBox* cbMute;
    QGroupBox* gbPlaylist;
    QRadioButton* rbPlayBuiltIn;
    QRadioButton* rbPlayMyOwn;
    QPushButton* btnPlaylistEditor;
    QCheckBox* cbLoop;
    QCheckBox* cbShuffle;
    QCheckBox* cbPlayOneRandom;
    QGroupBox* GroupBox12;
    QCheckBox* cbExitMouseMove;
    QCheckBox* cbExitMouseButton;
    QCheckBox* cbExitKeyboard;
    QCheckBox* cbExitEscape;
    QGroupBox* gbDualMonitor;
    QCheckBox* cbDisableDualMonitor;

signals:
    void aboutClicked();
    void websiteClicked();
    void closeClicked();
    void bannerClicked();
    void playlistEditorClicked();

private:
    void BuildGeneralTab();
    void BuildPositionTab();
    void BuildEffectsTab();
    void BuildSoundTab();
    void BuildBehaviorTab();
    void SetPlaylistGroupHeight(int height);
    // Opens "My Playlist" on the user's store and writes the list back when it closes.
    void btnPlaylistEditorClick();

    void rbSizeResizeClick();
    void rbPosCenterClick();
    void rbSequentialClick();
    void cbExitKeyboardClick(QCheckBox* clicked);
    void btnSelectAllClick();
    void btnSelectNoneClick();
    void lbEffectsClick();
    void SetAllChecks(const std::function<bool(int)>& checked);

    bool settingChecks_ = false;
    int sizeCode_ = 0;
    int positionCode_ = 0;
    int orderCode_ = 0;
};

} // namespace pictorelle
