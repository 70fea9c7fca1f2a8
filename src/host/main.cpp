// The player's entry. --help and --version answer without a display; without a display the
// player only says why it cannot run; everything else starts the application and hands over
// to the start-up sequence.
#include "host/CommandLine.h"
#include "host/Startup.h"
#include "media/FlashPlayer.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef PICTORELLE_VERSION
#define PICTORELLE_VERSION "unknown"
#endif

int main(int argc, char** argv) {
    using namespace pictorelle;
#ifdef __GLIBC__
    // Frames, pictures and their work buffers are megabytes each and come and go with every
    // item: each gets its own mapping, which goes back to the system once freed. Left to
    // itself, glibc raises this threshold to the size of the first such buffer freed, and the
    // buffers below it then stay in the heap after use (15 MB and more at 3840 x 2160).
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
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
    if (!DisplayAvailable(arguments)) return RunWithoutDisplay(OwnProgramFile());

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
    try {
        return RunPlayer(startup);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pictorelle: %s\n", e.what());
        return 1;
    }
}
