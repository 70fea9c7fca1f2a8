#include "host/Startup.h"

#include "host/CommandLine.h"
#include "platform/Application.h"
#include "platform/MessageBox.h"
#include "platform/Wayland.h"
#include "platform/X11.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace pictorelle {
namespace {

const char* const kStartTitle = "Screen Saver";

// The playlist editor and the About window of the options mode come with their own work.
void CreateOptionsWindows() {}

} // namespace

std::string OwnProgramFile() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("/proc/self/exe") : self.string();
}

bool InstallFlashControl(const std::string&, bool) {
    return false;
}

TSessionChoice ChooseSessionForRun(const std::vector<std::string>& arguments) {
    auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    const bool needsX11Window =
        !IsPresentationFileName(OwnProgramFile()) &&
        (ModeForLetter(ModeLetter(arguments)) == TSaverMode::Preview ||
         HackTarget(arguments, std::getenv("XSCREENSAVER_WINDOW")).has_value());
    return ChooseSession({env("QT_QPA_PLATFORM"), env("WAYLAND_DISPLAY"), env("DISPLAY")},
                         needsX11Window);
}

bool DisplayAvailable(const std::vector<std::string>& arguments, const TSessionChoice& session) {
    if (session.kind == TSessionKind::Other) return true;
    if (session.kind == TSessionKind::Wayland) return WaylandDisplayReachable();
    // A display named on the command line is Qt's to open.
    for (const std::string& a : arguments)
        if (a == "-display") return true;
    return X11DisplayReachable();
}

int RunWithoutDisplay(const std::string& programFile) {
    try {
        const FileSource file(programFile);
        ReadPackage(file);
    } catch (const std::exception&) {
        QString message = QString::fromLatin1(kCorruptPackageMessage);
        message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fprintf(stderr, "%s: %s\n", kStartTitle, qUtf8Printable(message));
        return 1;
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland && (!display || !*display))
        std::fprintf(stderr,
                     "pictorelle: cannot connect to the Wayland compositor \"%s\"; the show "
                     "needs one.\n",
                     wayland);
    else if (!display || !*display)
        std::fprintf(stderr,
                     "pictorelle: no display is set (DISPLAY and WAYLAND_DISPLAY are empty or "
                     "unset). Run the show from a graphical session, or name the display: "
                     "DISPLAY=:0 SHOW /s\n");
    else
        std::fprintf(stderr, "pictorelle: cannot open the display \"%s\"; the show needs one.\n",
                     display);
    return 1;
}

int RunPlayer(const TStartup& startup) {
    SetApplicationTitle(QString::fromLatin1(kStartTitle));
    std::unique_ptr<TSSWindow> window;
    try {
        window = std::make_unique<TSSWindow>(startup);
    } catch (const FlashPlayerUnavailable&) {
        // The first window is gone with its exception; a second one may find the player.
        InstallFlashControl(startup.ProgramFile, true);
        try {
            window = std::make_unique<TSSWindow>(startup);
        } catch (const std::exception&) {
            ShowMessage(QStringLiteral("Unable to find Macromedia Shockwave Flash."),
                        QString::fromLatin1(kStartTitle), TMessageIcon::Warning);
            RequestApplicationEnd(1);
        }
    }
    if (ApplicationEndRequested()) return ApplicationEndStatus();
    if (!window->Flags().SaverActive) CreateOptionsWindows();
    window->show();
    const int status = QApplication::exec();
    return ApplicationEndRequested() ? ApplicationEndStatus() : status;
}

const char* HelpText() {
    return "Usage: SHOW [MODE [WINDOW]]\n"
           "       SHOW -root | -window-id WINDOW\n"
           "       SHOW --help | --version\n"
           "\n"
           "A Pictorelle show is a copy of this player with a package of pictures, music and\n"
           "settings appended (see pictorelle-pack). It runs in the mode its command line\n"
           "names, following the screen-saver convention: the letter after the first\n"
           "character of the first argument counts, in any case (/s, -S and /s:1 are alike).\n"
           "\n"
           "  /s           the full-screen show; it ends on a mouse move, a click or a key,\n"
           "               as the show's settings say\n"
           "  /c or none   the options panel\n"
           "  /p WINDOW    a 152 x 112 preview inside the X window WINDOW (an id in decimal\n"
           "               or 0x hexadecimal, as xwininfo prints it)\n"
           "  /a           the password change; there is none on this system, so it ends\n"
           "\n"
           "As an XScreenSaver hack (also spelt --root, --window-id): the whole show, drawn\n"
           "into a window it does not own, with no input taken; SIGTERM ends it.\n"
           "\n"
           "  -root              into the window named by $XSCREENSAVER_WINDOW, else the root\n"
           "                     window\n"
           "  -window-id WINDOW  into the X window WINDOW\n"
           "\n"
           "A copy whose name ends in .exe (any case) ignores the mode and runs the show as a\n"
           "presentation that only Esc ends, if the show allows it.\n"
           "\n"
           "The bare player carries no show: started without one it shows the message that\n"
           "the file is corrupted and ends with status 1.\n"
           "\n"
           "  --help       print this text\n"
           "  --version    print the player's version\n";
}

} // namespace pictorelle
