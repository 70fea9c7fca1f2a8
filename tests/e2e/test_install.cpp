// Installing like any Linux program: the programs, the demo show, the manual pages, the
// manifest's documentation and the packer's completion land under the prefix, and the
// installed packer makes a show that the installed player runs.
#include "PlayerFixture.h"

#include <QBuffer>
#include <QImage>
#include <fstream>

namespace pictorelle::test {
namespace {

class Installed : public PlayerOnDisplay {};

TEST_F(Installed, TheInstalledPackerMakesAShowThatPlays) {
    const fs::path prefix = dir / "prefix";
    const RunResult installed =
        RunProgram("cmake", {"--install", PICTORELLE_BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(installed.status, 0) << installed.err;
    for (const char* file :
         {"bin/pictorelle", "bin/pictorelle-pack", "bin/pictorelle-render",
          "share/pictorelle/demo.scr", "share/man/man1/pictorelle.1",
          "share/man/man1/pictorelle-pack.1", "share/man/man1/pictorelle-render.1",
          "share/bash-completion/completions/pictorelle-pack", "share/doc/pictorelle/manifest.md"})
        EXPECT_TRUE(fs::exists(prefix / file)) << file;
    // The manual and --help send authors to the documentation that was installed.
    std::ifstream manual(prefix / "share/man/man1/pictorelle-pack.1");
    const std::string page{std::istreambuf_iterator<char>(manual), {}};
    EXPECT_NE(page.find("share/doc/pictorelle/manifest.md"), std::string::npos);
    EXPECT_EQ(page.find("docs/manifest.md"), std::string::npos);
    const RunResult help = RunProgram(prefix / "bin/pictorelle-pack", {"--help"});
    EXPECT_NE(help.out.find("/prefix/share/doc/pictorelle/manifest.md"), std::string::npos)
        << help.out;
#ifdef PICTORELLE_WEBENGINE
    // The Flash player's Ruffle, where the installed player looks beside itself.
    EXPECT_TRUE(fs::exists(prefix / "share/pictorelle/ruffle/ruffle.js"));
    // And its module, loaded only by shows that play Flash.
    bool module = false;
    for (const auto& f : fs::recursive_directory_iterator(prefix))
        module = module || f.path().filename() == "pictorelle-flash.so";
    EXPECT_TRUE(module);
#endif

    QImage red(32, 24, QImage::Format_RGB32);
    red.fill(Qt::red);
    fs::create_directory(dir / "pics");
    red.save(QString::fromStdString(dir / "pics/red.png"));
    const RunResult packed =
        RunProgram(prefix / "bin/pictorelle-pack",
                   {"--pictures", dir / "pics", "--title", kTitle, "-o", dir / "show.scr"});
    ASSERT_EQ(packed.status, 0) << packed.err;

    auto show = Start(dir / "show.scr", {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    EXPECT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) == Rgb{255, 0, 0}; }));
    x.Key("Escape");
    EXPECT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

} // namespace
} // namespace pictorelle::test
