// The player's entry. --help and --version answer without a display; without a display the
// player only says why it cannot run; everything else starts the application and hands over
// to the start-up sequence.
#include "host/CommandLine.h"
#include "host/Startup.h"
#include "media/FlashPlayer.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#ifndef PICTORELLE_VERSION
#define PICTORELLE_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    using namespace pictorelle;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (ProgramRequest(arguments)) {
    case TProgramRequest::Help:
        std::fputs(HelpText(), stdout);
        return 0;
    case TProgramRequest::Version:
        std::printf("pictorelle %s\n", PICTORELLE_VERSION);
        return 0;
    case TProgramRequest::Run:
        break;
    }

    // The password change has nothing to do here, display or not.
    if (!IsPresentationFileName(OwnProgramFile()) &&
        ModeForLetter(ModeLetter(arguments)) == TSaverMode::PasswordSet)
        return 0;
    const TSessionChoice session = ChooseSessionForRun(arguments);
    if (session.refused) {
        std::fputs("pictorelle: the preview inside a host window and drawing into another screen "
                   "saver's window need an X server; this session offers Wayland only.\n",
                   stderr);
        return 2;
    }
    if (!session.qtPlatform.empty()) qputenv("QT_QPA_PLATFORM", session.qtPlatform.c_str());
    if (!DisplayAvailable(arguments, session)) return RunWithoutDisplay(OwnProgramFile());

    // The web engine's options go in before the application exists, and only for a show
    // that may need it.
    if (ShowPlaysFlash(OwnProgramFile())) PrepareFlashPlayer();
    QApplication app(argc, argv);
    TStartup startup;
    startup.ProgramFile = OwnProgramFile();
    // Qt has taken its own options (-display, -platform, ...) off the list by now.
    const QStringList remaining = QCoreApplication::arguments();
    for (qsizetype i = 1; i < remaining.size(); ++i)
        startup.Arguments.push_back(remaining[i].toStdString());
    int status = 1;
    try {
        status = RunPlayer(startup);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pictorelle: %s\n", e.what());
    }
    if (session.kind == TSessionKind::Wayland) {
        // Qt 6.4's Wayland platform can deadlock while the application is torn down (its event
        // thread waits for a read the main thread never finishes), which left a show whose
        // windows had closed running for good, and swayidle waiting on it. The show's own
        // clean-up is done by now (the windows closed, the temporary folder goes at exit), so
        // the process ends here, without the application's destructor.
        std::fflush(nullptr);
        std::exit(status);
    }
    return status;
}
