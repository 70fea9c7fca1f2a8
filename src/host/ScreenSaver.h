// TScreenSaver: the screen-saver host component of the main window. It reads the screen-saver
// command line, decides the mode (options panel, full screen, preview inside a host window,
// password change), prepares its owner window for that mode and raises a before/after event
// pair for each, so that the window does its own part. While the full-screen show runs it
// keeps the system's screen saver from starting; before the show may close it asks for the
// password (there is none to ask for on this platform).
//
// Windows-only facilities (the "Display Properties" window, the screen-saver-running flag,
// the password libraries, the taskbar window) have no counterpart here and are left out.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace pictorelle {

class TPanel;

enum class TConfigBoxStyle { cbsMessageDlg = 0, cbsPanel = 1 };

// Preview windows have this fixed size, whatever the host window's size.
inline constexpr int kPreviewWidth = 152;
inline constexpr int kPreviewHeight = 112;

class TScreenSaver {
public:
    using TNotifyEvent = std::function<void(TScreenSaver& Sender)>;

    // owner must outlive the component. arguments: the command line without the program.
    TScreenSaver(QWidget& owner, std::vector<std::string> arguments);
    // Undoes what the mode did to the system: screen saver allowed again, pointer shown.
    ~TScreenSaver();
    TScreenSaver(const TScreenSaver&) = delete;
    TScreenSaver& operator=(const TScreenSaver&) = delete;

    // Properties, with the component's defaults.
    bool AutoEnable = true;
    bool AutoMaximize = true;
    bool AutoBorderLess = true;
    bool AutoOnTop = true;
    bool AutoMouseHide = true;
    bool AutoPanelHide = true;
    bool PreviewWindow = true;
    bool MainScreenSaver = true;
    bool ConfigurationBox = true;
    TConfigBoxStyle ConfigurationBoxStyle = TConfigBoxStyle::cbsMessageDlg;
    QWidget* ConfigurationBoxPanel = nullptr; // one of the owner's widgets
    QString ConfigurationBoxMessage;
    bool SystemKeysDisabled = true;
    bool PasswordSetting = true;

    // Events; an empty one is skipped.
    TNotifyEvent OnPreviewActive;
    TNotifyEvent OnMainSaverActive;
    TNotifyEvent OnConfigBoxActive;
    TNotifyEvent OnPasswordSet;
    TNotifyEvent OnBeforePreviewActive;
    TNotifyEvent OnBeforeMainSaverActive;
    TNotifyEvent OnBeforeConfigBoxActive;
    TNotifyEvent OnBeforePasswordSet;

    // Called once the owner has set the properties: checks the panel, hides it, and with
    // AutoEnable starts the mode of the command line.
    void Loaded();
    // Enters the mode that the command line names (exactly one of the four below).
    void RunByCommandLine();
    void DoPreviewActive();
    void DoMainSaverActive();
    void DoConfigBoxActive();
    void DoPasswordSet();
    // True when the show may close.
    bool VerifyPassword();

    // The mode letter of the command line ('\0' for none).
    char Letter() const;
    // Whether the owner refuses a second screen saver (full-screen mode).
    bool OwnerHooked() const { return hooked_; }

private:
    void Raise(const TNotifyEvent& event);
    void HookOwnerWindow();
    void UnhookOwnerWindow();
    void HideCursorOnce();
    void ShowCursorOnce();
    void ShowPanelAsConfigBox();
    void ShowMessageAsConfigBox();

    QWidget& owner_;
    std::vector<std::string> arguments_;
    bool hooked_ = false;
    // How many of our pointer hides are still in force; destruction shows exactly these.
    int cursorHides_ = 0;
};

} // namespace pictorelle
