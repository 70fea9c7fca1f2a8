// The main window in options mode: the package's banner, the translated captions, the user's
// settings on the panel and back into the store, and the panel's buttons.
#include "package/ExtractEntry.h"
#include "package/TempFolder.h"
#include "package/Translation.h"
#include "platform/Monitors.h"
#include "platform/OpenAddress.h"
#include "platform/SafeAddress.h"
#include "platform/store/SqliteRegistry.h"
#include "show/OptionsPanel.h"
#include "show/SSWindow.h"
#include "windows/AboutWindow.h"

#include <cstdio>

namespace pictorelle {

// The banner section is a picture file of its own; it is shown when the panel is arranged.
// Any failure leaves the banner empty.
void TSSWindow::LoadBannerImage(const ByteSource&) {
    const PackageHeader& h = PackageData.Header;
    banner_ = QImage();
    if (h.BannerSize <= 0) return;
    try {
        const TempFile file(TempFilePath("SSIMGkk.BMP"));
        ExtractEntry(Startup.ProgramFile, file.Path(), false,
                     PackageData.SectionStart(SectionId::Banner), h.BannerSize, h.BannerSize);
        banner_ = QImage(QString::fromStdString(file.Path()));
        if (banner_.isNull()) std::fprintf(stderr, "Skipping the banner: it cannot be read\n");
    } catch (const PictorelleError& e) {
        std::fprintf(stderr, "Skipping the banner: %s\n", e.what());
    }
}

void TSSWindow::BuildTranslation() {
    BuildTranslationTable(PackageData.Strings[StringId::InterfaceTexts], "Screen Saver");
    CfgBox->RenameFormControls();
}

// A store that cannot be used keeps the package's defaults, and so does each value of the
// wrong type in it: a damaged setting must not lock the user out of the show or its panel.
void TSSWindow::ReadUserSettings() {
    ReadStoredSettings(SqliteRegistry::DefaultPath(), PackageData.Strings[StringId::SaverTitle],
                       Settings);
}

void TSSWindow::ShowSettings() {
    CfgBox->ShowSettings(Settings);
    // A stored time of 0 must not make the slide timer spin.
    Timer.setInterval(std::max(Settings.Seconds, 1) * 1000);
    CfgBox->SetWebsiteVisible(!PackageData.Strings[StringId::WebsiteAddress].empty());
}

void TSSWindow::ArrangeOptionsPanel() {
    CfgBox->Arrange(banner_, !PackageData.Strings[StringId::BannerLinkAddress].empty());
    setFixedSize(CfgBox->size());
    const QRect screen = MonitorBounds(0);
    move(screen.left() + (screen.width() - width()) / 2,
         screen.top() + (screen.height() - height()) / 2);
}

void TSSWindow::PrepareOptionsPanel() {
    CfgBox->ApplyPackageRules(PackageData.Header, PackageData.Header.MelodyCount, MonitorCount());
    CfgBox->StartEffectPreview();
}

// Saving must not lose the user's other settings: a failed save leaves the stored ones as
// they were and says so.
void TSSWindow::WriteSettings() {
    try {
        SqliteRegistry store(SqliteRegistry::DefaultPath());
        WriteSaverSettings(store, PackageData.Strings[StringId::SaverTitle],
                           CfgBox->CollectSettings(Settings));
    } catch (const RegistryError& e) {
        std::fprintf(stderr, "Your settings could not be saved: %s\n", e.what());
    }
}

void TSSWindow::btnAboutClick() {
    TAboutWindow about(
        PackageData.Strings, [](const QString& address) { OpenAddress(address.toStdString()); },
        this);
    about.exec();
}

// An address without a scheme is completed once, so the About link opens the completed
// address too; addresses of other schemes are refused by the opener.
void TSSWindow::btnWebsiteClick() {
    std::string& address = PackageData.Strings[StringId::WebsiteAddress];
    if (const auto completed = SafeAddress(address)) address = *completed;
    OpenAddress(address);
}

void TSSWindow::btnCloseClick() {
    close();
}

void TSSWindow::imgBannerClick() {
    const std::string& address = PackageData.Strings[StringId::BannerLinkAddress];
    if (!address.empty()) OpenAddress(address);
}

} // namespace pictorelle
