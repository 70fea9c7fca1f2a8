#include "show/OptionsPanel.h"

#include "package/Translation.h"
#include "platform/Application.h"
#include "sound/PlaylistWindow.h"
#include "transitions/EffectCatalogue.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace pictorelle {
namespace {

constexpr int kTabPageWidth = 391;
constexpr int kGroupWidth = 375;

// Distances of the playlist options from the group's bottom edge; they keep them when the
// group's height changes.
constexpr int kLoopFromBottom = 75;
constexpr int kShuffleFromBottom = 53;
constexpr int kOneRandomFromBottom = 31;

template <class W, class... Args>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

QGroupBox* Group(QWidget* parent, const char* name, int y, int height) {
    return Make<QGroupBox>(parent, name, 8, y, kGroupWidth, height);
}

QString FromPackageText(const std::string& text) {
    return QString::fromStdString(text);
}

// Sets a control's caption whatever kind of control it is.
// A title of several lines (a translation may break it) is a label of its own over the
// frame, since a group box draws one line only; it pushes the group's controls down and the
// group's bottom with them.
void SetGroupTitle(QGroupBox& group, QString title) {
    title.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const int lines = static_cast<int>(title.count(QLatin1Char('\n')));
    auto* label =
        group.findChild<QLabel*>(QStringLiteral("groupTitle"), Qt::FindDirectChildrenOnly);
    if (lines > 0 && !label) {
        label = new QLabel(&group);
        label->setObjectName(QStringLiteral("groupTitle"));
        label->setTextFormat(Qt::PlainText);
        label->setAutoFillBackground(true);
    }
    if (label) {
        label->setText(title);
        label->adjustSize();
        label->move(8, 0);
        label->setVisible(lines > 0);
        label->raise();
    }
    group.setTitle(lines > 0 ? QString() : title);
    const int before = group.property("extraTitleLines").toInt();
    const int shift = (lines - before) * group.fontMetrics().height();
    if (shift == 0) return;
    group.setProperty("extraTitleLines", lines);
    for (QWidget* child : group.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child != label) child->move(child->x(), child->y() + shift);
    group.resize(group.width(), group.height() + shift);
}

void SetCaption(QWidget* w, QTabWidget* tabs, const QString& caption) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(caption);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(caption); // plain text (see the constructor), so "&" marks the mnemonic
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        SetGroupTitle(*g, caption);
    else if (const int tab = tabs->indexOf(w); tab >= 0)
        tabs->setTabText(tab, caption);
}

} // namespace

void TClickableLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && onClick) onClick();
    QLabel::mousePressEvent(event);
}

QValidator::State TSecondsEdit::validate(QString& input, int& pos) const {
    // Whole seconds are kept; a typed fraction is accepted and cut off.
    const QString whole = input.section(QLatin1Char('.'), 0, 0);
    const QString fraction = input.section(QLatin1Char('.'), 1);
    for (QChar c : fraction)
        if (!c.isDigit()) return QValidator::Invalid;
    QString w = whole;
    return QSpinBox::validate(w, pos);
}

int TSecondsEdit::valueFromText(const QString& text) const {
    return QSpinBox::valueFromText(text.section(QLatin1Char('.'), 0, 0));
}

TOptionsPanel::TOptionsPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("CfgBox");
    setFixedSize(kWidth, kHeight);

    BannerPlaceHolderPanel =
        Make<QFrame>(this, "BannerPlaceHolderPanel", 0, 0, kWidth, kBannerStripHeight);
    PanelWebBanner = Make<QFrame>(BannerPlaceHolderPanel, "PanelWebBanner", 22, 5, 470, 62);
    PanelWebBanner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    imgBanner = Make<TClickableLabel>(PanelWebBanner, "imgBanner", 2, 2, 466, 58);
    imgBanner->setAlignment(Qt::AlignCenter);
    imgBanner->onClick = [this] { emit bannerClicked(); };

    ConfigControlsPanel = Make<QFrame>(this, "ConfigControlsPanel", 0, kBannerStripHeight, kWidth,
                                       kHeight - kBannerStripHeight);
    PageControl = Make<QTabWidget>(ConfigControlsPanel, "PageControl", 10, 7, 399, 281);
    // Tabs of one size, lit under the pointer.
    PageControl->tabBar()->setStyleSheet(
        QStringLiteral("QTabBar::tab { min-width: 68px; min-height: 16px; padding: 2px 4px; }"
                       "QTabBar::tab:hover { background: palette(highlight); color: "
                       "palette(highlighted-text); }"));

    auto page = [this](const char* name) {
        auto* w = new QWidget();
        w->setObjectName(name);
        PageControl->addTab(w, QString());
        return w;
    };
    tsGeneral = page("tsGeneral");
    tsPosition = page("tsPosition");
    tsEffects = page("tsEffects");
    tsSound = page("tsSound");
    tsBehavior = page("tsBehavior");
    BuildGeneralTab();
    BuildPositionTab();
    BuildEffectsTab();
    BuildSoundTab();
    BuildBehaviorTab();

    // Made after the pages, so that Tab goes from the tabs through the page to the buttons.
    btnAbout = Make<QPushButton>(ConfigControlsPanel, "btnAbout", 418, 28, 83, 25);
    btnWebsite = Make<QPushButton>(ConfigControlsPanel, "btnWebsite", 418, 60, 83, 25);
    btnClose = Make<QPushButton>(ConfigControlsPanel, "btnClose", 418, 263, 83, 25);
    btnClose->setDefault(true);
    Link = Make<QLabel>(ConfigControlsPanel, "Link", 10, 292, 399, 15);
    Link->hide();
    connect(btnAbout, &QPushButton::clicked, this, &TOptionsPanel::aboutClicked);
    connect(btnWebsite, &QPushButton::clicked, this, &TOptionsPanel::websiteClicked);
    connect(btnClose, &QPushButton::clicked, this, &TOptionsPanel::closeClicked);
    // Close is the default and the cancel button: Return, Enter and Esc close the panel from
    // any of its controls, as a click on Close does.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
          QKeySequence(Qt::KeypadModifier | Qt::Key_Enter), QKeySequence(Qt::Key_Escape)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, btnClose, &QPushButton::click);
    }
    // Texts from the package are shown as they are, never as markup.
    for (QLabel* label : findChildren<QLabel*>())
        if (label != imgBanner) label->setTextFormat(Qt::PlainText);
    Label12->setBuddy(edSeconds);

    // The designed captions are the translation keys with their suffixes.
    for (const auto& c : FormControlCaptions())
        if (auto* w = findChild<QWidget*>(c.control))
            SetCaption(w, PageControl, QString::fromLatin1(c.key) + QString::fromLatin1(c.suffix));
    gbDualMonitor->setTitle("Dual Monitor Support");
    Link->setText("Link");
}

// The preview's transition paints into a control of this panel: it ends before the controls go.
TOptionsPanel::~TOptionsPanel() {
    Preview.reset();
}

void TOptionsPanel::StartEffectPreview() {
    Preview->Start();
}

void TOptionsPanel::lbEffectsClick() {
    Preview->EffectHighlighted();
}

void TOptionsPanel::BuildGeneralTab() {
    GroupBox3 = Group(tsGeneral, "GroupBox3", 8, 56);
    Label12 = Make<QLabel>(GroupBox3, "Label12", 12, 24, 160, 18);
    edSeconds = Make<TSecondsEdit>(GroupBox3, "edSeconds", 176, 20, 60, 24);
    edSeconds->setRange(1, 60);
    edSeconds->setSingleStep(1);
    edSeconds->setValue(5);
    Label13 = Make<QLabel>(GroupBox3, "Label13", 244, 24, 100, 18);

    gbOrder = Group(tsGeneral, "gbOrder", 70, 100);
    rbSequential = Make<QRadioButton>(gbOrder, "rbSequential", 12, 22, 340, 20);
    rbRandom = Make<QRadioButton>(gbOrder, "rbRandom", 12, 46, 340, 20);
    rbMixed = Make<QRadioButton>(gbOrder, "rbMixed", 12, 70, 340, 20);
    rbSequential->setChecked(true);
    for (auto* rb : {rbSequential, rbRandom, rbMixed})
        connect(rb, &QRadioButton::clicked, this, &TOptionsPanel::rbSequentialClick);

    GroupBox2 = Group(tsGeneral, "GroupBox2", 176, 50);
    cbDesktop = Make<QCheckBox>(GroupBox2, "cbDesktop", 12, 22, 340, 20);
}

void TOptionsPanel::BuildPositionTab() {
    gbSize = Group(tsPosition, "gbSize", 8, 134);
    rbSizeResize = Make<QRadioButton>(gbSize, "rbSizeResize", 12, 22, 340, 20);
    rbSizeResizeBig = Make<QRadioButton>(gbSize, "rbSizeResizeBig", 12, 44, 340, 20);
    rbSizeStretch = Make<QRadioButton>(gbSize, "rbSizeStretch", 12, 66, 340, 20);
    rbSizeNone = Make<QRadioButton>(gbSize, "rbSizeNone", 12, 88, 340, 20);
    Label37 = Make<QLabel>(gbSize, "Label37", 14, 112, 340, 16);
    rbSizeResize->setChecked(true);
    for (auto* rb : {rbSizeResize, rbSizeResizeBig, rbSizeStretch, rbSizeNone})
        connect(rb, &QRadioButton::clicked, this, &TOptionsPanel::rbSizeResizeClick);

    gbPosition = Group(tsPosition, "gbPosition", 148, 76);
    rbPosCenter = Make<QRadioButton>(gbPosition, "rbPosCenter", 12, 22, 340, 20);
    rbPosRandom = Make<QRadioButton>(gbPosition, "rbPosRandom", 12, 46, 340, 20);
    rbPosCenter->setChecked(true);
    gbPosition->setEnabled(false);
    for (auto* rb : {rbPosCenter, rbPosRandom})
        connect(rb, &QRadioButton::clicked, this, &TOptionsPanel::rbPosCenterClick);
}

void TOptionsPanel::BuildEffectsTab() {
    GroupBox9 = Group(tsEffects, "GroupBox9", 8, 160);
    lbEffects = Make<QListWidget>(GroupBox9, "lbEffects", 10, 20, 209, 105);
    // The dialog's small font, names cut with an ellipsis rather than scrolled sideways, and
    // a height of whole rows.
    QFont small = lbEffects->font();
    small.setPointSize(8);
    lbEffects->setFont(small);
    lbEffects->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbEffects->setTextElideMode(Qt::ElideRight);
    lbEffects->setUniformItemSizes(true);
    for (const auto& effect : EffectCatalogue()) {
        auto* item = new QListWidgetItem(QString::fromLatin1(effect.name), lbEffects);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    if (const int row = lbEffects->sizeHintForRow(0); row > 0) {
        const int frame = 2 * lbEffects->frameWidth();
        lbEffects->setFixedHeight(frame + row * std::max(1, (105 - frame) / row));
    }
    btnSelectAll = Make<QPushButton>(GroupBox9, "btnSelectAll", 10, 130, 100, 23);
    btnSelectNone = Make<QPushButton>(GroupBox9, "btnSelectNone", 119, 130, 100, 23);
    connect(btnSelectAll, &QPushButton::clicked, this, &TOptionsPanel::btnSelectAllClick);
    connect(btnSelectNone, &QPushButton::clicked, this, &TOptionsPanel::btnSelectNoneClick);

    Panel3 = Make<QFrame>(GroupBox9, "Panel3", 236, 20, 123, 99);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Preview =
        std::make_unique<TEffectPreview>(*Panel3, [this] { return lbEffects->currentRow() + 1; });
    connect(lbEffects, &QListWidget::clicked, this, &TOptionsPanel::lbEffectsClick);
    // A click on an effect's check box highlights its row and previews it too.
    connect(lbEffects, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (settingChecks_) return;
        lbEffects->setCurrentItem(item);
        lbEffectsClick();
    });

    GroupBox6 = Group(tsEffects, "GroupBox6", 174, 60);
    Label16 = Make<QLabel>(GroupBox6, "Label16", 12, 26, 56, 18);
    tbEffectSpeed = Make<QSlider>(GroupBox6, "tbEffectSpeed", 72, 20, 236, 28, Qt::Horizontal);
    tbEffectSpeed->setRange(1, 10);
    tbEffectSpeed->setPageStep(1);
    tbEffectSpeed->setTickPosition(QSlider::TicksBelow);
    tbEffectSpeed->setValue(4);
    Label26 = Make<QLabel>(GroupBox6, "Label26", 316, 26, 52, 18);
}

void TOptionsPanel::BuildSoundTab() {
    GroupBox10 = Group(tsSound, "GroupBox10", 8, 46);
    cbMute = Make<QCheckBox>(GroupBox10, "cbMute", 12, 20, 340, 20);

    gbPlaylist = Group(tsSound, "gbPlaylist", 60, 159);
    rbPlayBuiltIn = Make<QRadioButton>(gbPlaylist, "rbPlayBuiltIn", 12, 22, 180, 20);
    rbPlayMyOwn = Make<QRadioButton>(gbPlaylist, "rbPlayMyOwn", 12, 44, 180, 20);
    rbPlayBuiltIn->setChecked(true);
    btnPlaylistEditor = Make<QPushButton>(gbPlaylist, "btnPlaylistEditor", 200, 40, 160, 25);
    connect(btnPlaylistEditor, &QPushButton::clicked, this, &TOptionsPanel::playlistEditorClicked);
    connect(btnPlaylistEditor, &QPushButton::clicked, this, &TOptionsPanel::btnPlaylistEditorClick);
    cbLoop = Make<QCheckBox>(gbPlaylist, "cbLoop", 12, 0, 350, 20);
    cbShuffle = Make<QCheckBox>(gbPlaylist, "cbShuffle", 12, 0, 350, 20);
    cbPlayOneRandom = Make<QCheckBox>(gbPlaylist, "cbPlayOneRandom", 12, 0, 350, 20);
    cbLoop->setChecked(true);
    SetPlaylistGroupHeight(159);
}

// The application title is the package's title, and the playlist's key is built from it as
// the settings key is.
void TOptionsPanel::btnPlaylistEditorClick() {
    EditCustomPlaylist(window(), ApplicationTitle().toStdString());
}

void TOptionsPanel::BuildBehaviorTab() {
    GroupBox12 = Group(tsBehavior, "GroupBox12", 8, 120);
    cbExitMouseMove = Make<QCheckBox>(GroupBox12, "cbExitMouseMove", 12, 22, 340, 20);
    cbExitMouseButton = Make<QCheckBox>(GroupBox12, "cbExitMouseButton", 12, 46, 340, 20);
    cbExitKeyboard = Make<QCheckBox>(GroupBox12, "cbExitKeyboard", 12, 70, 340, 20);
    cbExitEscape = Make<QCheckBox>(GroupBox12, "cbExitEscape", 12, 94, 340, 20);
    for (auto* cb : {cbExitMouseMove, cbExitMouseButton, cbExitKeyboard})
        cb->setChecked(true);
    for (auto* cb : {cbExitMouseMove, cbExitMouseButton, cbExitKeyboard, cbExitEscape})
        connect(cb, &QCheckBox::clicked, this, [this, cb] { cbExitKeyboardClick(cb); });

    gbDualMonitor = Group(tsBehavior, "gbDualMonitor", 134, 50);
    cbDisableDualMonitor = Make<QCheckBox>(gbDualMonitor, "cbDisableDualMonitor", 12, 22, 340, 20);
    gbDualMonitor->hide();
}

void TOptionsPanel::SetPlaylistGroupHeight(int height) {
    gbPlaylist->resize(gbPlaylist->width(), height);
    cbLoop->move(cbLoop->x(), height - kLoopFromBottom);
    cbShuffle->move(cbShuffle->x(), height - kShuffleFromBottom);
    cbPlayOneRandom->move(cbPlayOneRandom->x(), height - kOneRandomFromBottom);
}

void TOptionsPanel::ShowSettings(const SaverSettings& s) {
    edSeconds->setValue(s.Seconds);
    orderCode_ = s.DisplayOrder;
    (s.DisplayOrder == 1   ? rbRandom
     : s.DisplayOrder == 2 ? rbMixed
                           : rbSequential)
        ->setChecked(true);
    cbDesktop->setChecked(s.DesktopStart);
    switch (s.Stretch) {
    case 0:
        rbSizeResize->setChecked(true);
        break;
    case 1:
        rbSizeStretch->setChecked(true);
        break;
    case 2:
    case 3:
        rbSizeNone->setChecked(true);
        break;
    case 4:
    case 5:
        rbSizeResizeBig->setChecked(true);
        break;
    default:
        break; // an unknown value leaves the selection as it is
    }
    if (s.Stretch == 2 || s.Stretch == 4) rbPosCenter->setChecked(true);
    if (s.Stretch == 3 || s.Stretch == 5) rbPosRandom->setChecked(true);
    rbSizeResizeClick();
    rbPosCenterClick();
    tbEffectSpeed->setValue(s.EffectSpeed);
    std::array<bool, kEffectCount> checks{};
    SelectionToChecklist(s.Effect, checks);
    SetAllChecks([&](int i) { return checks[static_cast<size_t>(i)]; });
    cbLoop->setChecked(s.Loop);
    cbShuffle->setChecked(s.ShuffleMelody);
    cbMute->setChecked(s.Mute);
    cbPlayOneRandom->setChecked(s.PlayOneRandom);
    cbExitMouseMove->setChecked(s.ExitMouseMove);
    cbExitMouseButton->setChecked(s.ExitMouseButton);
    cbExitKeyboard->setChecked(s.ExitKeyboard);
    cbExitEscape->setChecked(s.ExitESC);
    cbDisableDualMonitor->setChecked(s.DisableTwoMonitors);
    (s.UseCustomPlaylist ? rbPlayMyOwn : rbPlayBuiltIn)->setChecked(true);
}

SaverSettings TOptionsPanel::CollectSettings(SaverSettings s) const {
    // Whatever is typed, the whole number of seconds is kept.
    s.Seconds = edSeconds->WholeSeconds();
    s.Stretch = sizeCode_ + (gbPosition->isEnabled() ? positionCode_ : 0);
    s.DisplayOrder = orderCode_;
    s.DesktopStart = cbDesktop->isChecked();
    s.Loop = cbLoop->isChecked();
    s.Mute = cbMute->isChecked();
    s.ShuffleMelody = cbShuffle->isChecked();
    std::array<bool, kEffectCount> checks{};
    for (int i = 0; i < kEffectCount; ++i)
        checks[static_cast<size_t>(i)] = lbEffects->item(i)->checkState() == Qt::Checked;
    s.Effect = ChecklistToSelection(checks);
    s.EffectSpeed = tbEffectSpeed->value();
    s.PlayOneRandom = cbPlayOneRandom->isChecked();
    s.ExitMouseMove = cbExitMouseMove->isChecked();
    s.ExitMouseButton = cbExitMouseButton->isChecked();
    s.ExitKeyboard = cbExitKeyboard->isChecked();
    s.ExitESC = cbExitEscape->isChecked();
    s.UseCustomPlaylist = rbPlayMyOwn->isChecked();
    s.DisableTwoMonitors = cbDisableDualMonitor->isChecked();
    return s;
}

void TOptionsPanel::ApplyPackageRules(const PackageHeader& h, int melodyCount, int monitorCount) {
    const std::array<std::pair<QWidget*, bool>, 5> tabs = {{{tsGeneral, h.HideGeneralTab},
                                                            {tsPosition, h.HidePositionTab},
                                                            {tsEffects, h.HideEffectsTab},
                                                            {tsSound, h.HideSoundTab},
                                                            {tsBehavior, h.HideBehaviorTab}}};
    for (const auto& [tab, hide] : tabs)
        PageControl->setTabVisible(PageControl->indexOf(tab), !hide);
    gbDualMonitor->setVisible(monitorCount > 1);

    if (melodyCount == 0) {
        rbPlayMyOwn->setChecked(true);
        rbPlayBuiltIn->setEnabled(false);
    }
    if (!h.AllowOwnPlaylist) {
        rbPlayMyOwn->hide();
        rbPlayBuiltIn->hide();
        btnPlaylistEditor->hide();
        SetPlaylistGroupHeight(95);
        if (melodyCount == 1) {
            cbShuffle->hide();
            cbPlayOneRandom->hide();
            SetPlaylistGroupHeight(111);
        }
    }
}

void TOptionsPanel::ShowBanner(const QImage& banner, bool hasLink) {
    int height = kHeight - kLinkStripHeight;
    if (banner.isNull()) {
        BannerPlaceHolderPanel->hide();
        ConfigControlsPanel->move(0, 0);
        height -= kBannerStripHeight;
    } else {
        BannerPlaceHolderPanel->show();
        PanelWebBanner->show();
        imgBanner->setPixmap(QPixmap::fromImage(banner));
        imgBanner->setCursor(hasLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    Link->hide();
    ConfigControlsPanel->resize(kWidth, height - ConfigControlsPanel->y());
    setFixedSize(kWidth, height);
}

void TOptionsPanel::Arrange(const QImage& banner, bool hasLink) {
    ShowBanner(banner, hasLink);
    PanelWebBanner->show();
    Panel3->show();
    ConfigControlsPanel->show();
}

void TOptionsPanel::SetWebsiteVisible(bool visible) {
    btnWebsite->setVisible(visible);
}

void TOptionsPanel::RenameFormControls() {
    for (const auto& c : FormControlCaptions()) {
        auto* w = findChild<QWidget*>(c.control);
        if (!w) continue;
        SetCaption(w, PageControl,
                   FromPackageText(Translate(c.key)) + QString::fromLatin1(c.suffix));
    }
}

void TOptionsPanel::rbSizeResizeClick() {
    const bool positioned = rbSizeNone->isChecked() || rbSizeResizeBig->isChecked();
    gbPosition->setEnabled(positioned);
    if (rbSizeResize->isChecked())
        sizeCode_ = 0;
    else if (rbSizeStretch->isChecked())
        sizeCode_ = 1;
    else if (rbSizeNone->isChecked())
        sizeCode_ = 2;
    else if (rbSizeResizeBig->isChecked())
        sizeCode_ = 4;
}

void TOptionsPanel::rbPosCenterClick() {
    positionCode_ = rbPosRandom->isChecked() ? 1 : 0;
}

void TOptionsPanel::rbSequentialClick() {
    orderCode_ = rbRandom->isChecked() ? 1 : rbMixed->isChecked() ? 2 : 0;
}

void TOptionsPanel::cbExitKeyboardClick(QCheckBox* clicked) {
    // At least one way out of the show always stays selected.
    const bool any = cbExitMouseMove->isChecked() || cbExitMouseButton->isChecked() ||
                     cbExitKeyboard->isChecked() || cbExitEscape->isChecked();
    if (!any) clicked->setChecked(true);
}

void TOptionsPanel::btnSelectAllClick() {
    SetAllChecks([](int) { return true; });
}

void TOptionsPanel::btnSelectNoneClick() {
    SetAllChecks([](int) { return false; });
}

// Checks set by the program, not clicked by the user: no row is highlighted for them.
void TOptionsPanel::SetAllChecks(const std::function<bool(int)>& checked) {
    settingChecks_ = true;
    for (int i = 0; i < lbEffects->count(); ++i)
        lbEffects->item(i)->setCheckState(checked(i) ? Qt::Checked : Qt::Unchecked);
    settingChecks_ = false;
}

} // namespace pictorelle
