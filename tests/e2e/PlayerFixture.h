// A fixture for tests that run real shows on a private X server: a scratch folder that is
// the user's home, temporary and settings folders, a stand-in address opener that records
// what it was asked to open, and helpers to make a show and wait for its windows.
#pragma once

#include "Run.h"
#include "XServer.h"
#include "package/ByteSource.h"
#include "package/PackageWriter.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace pictorelle::test {

namespace fs = std::filesystem;

inline const char* const kTitle = "E2E Show";
inline const char* const kTitleRegex = "^E2E Show$";
inline constexpr int kExitTimeoutMs = 15000;

// A picture's file in one of Qt's formats, its PNG file, and one of a single colour.
inline std::vector<uint8_t> EncodedBytes(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return {bytes.begin(), bytes.end()};
}

inline std::vector<uint8_t> PngBytes(const QImage& image) {
    return EncodedBytes(image, "PNG");
}

inline std::vector<uint8_t> SolidPng(QColor colour, int width = 64, int height = 48) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return PngBytes(image);
}

// A picture item of one colour at the movie tests' screen size.
inline PackageEntry<ItemRecord> SolidPictureItem(QColor colour) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Data = SolidPng(colour, 1024, 768);
    return entry;
}

inline PackageContent ShowContent() {
    PackageContent c;
    PackageHeader& h = c.Header;
    h.Seconds = 5;
    h.EffectSpeed = 4;
    h.GradientStyle = 1;
    h.BackColor = 0x00603020; // red 0x20, green 0x30, blue 0x60
    h.ExitMouseMove = h.ExitMouseButton = h.ExitKeyboard = h.ExitESC = true;
    h.AllowStandalone = true;
    h.LogoTransparentColor = kNoColorValue;
    c.Strings[StringId::SaverTitle] = kTitle;
    return c;
}

// A show: a copy of the player with the package appended, written to path.
inline std::string WriteShow(const PackageContent& content, const std::string& path) {
    std::vector<uint8_t> bytes = ReadWholeFile(BinPath("pictorelle"));
    const std::vector<uint8_t> package = WritePackage(content);
    bytes.insert(bytes.end(), package.begin(), package.end());
    WriteBytes(path, bytes);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

class PlayerOnDisplay : public ::testing::Test {
protected:
    explicit PlayerOnDisplay(int width = 1024, int height = 768) : x(width, height) {}

    void SetUp() override {
        for (const char* sub : {"tmp", "config", "bin", "run"})
            fs::create_directory(dir / sub);
        fs::permissions(dir / "run", fs::perms::owner_all);
        // Stands in for the desktop's address opener and records what it was asked to open.
        WriteText(dir / "bin/xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + (dir / "opened.txt") + "'\n");
        fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
    }

    std::vector<std::string> Env() const {
        const char* path = std::getenv("PATH");
        return {"DISPLAY=" + x.Display(),
                "TMPDIR=" + (dir / "tmp"),
                "XDG_CONFIG_HOME=" + (dir / "config"),
                "XDG_RUNTIME_DIR=" + (dir / "run"),
                "HOME=" + dir.path(),
                "PATH=" + (dir / "bin") + ":" + (path ? path : "/usr/bin:/bin"),
                "QT_QPA_PLATFORM=xcb"};
    }

    // A show: a copy of the player with the package appended.
    std::string MakeShow(const PackageContent& content, const std::string& name = "show.scr") {
        return WriteShow(content, dir / name);
    }

    std::unique_ptr<Process> Start(const std::string& program, std::vector<std::string> args) {
        return std::make_unique<Process>(program, std::move(args), Env());
    }

    // The one visible window whose name matches, once it has appeared.
    std::string WaitForWindow(const std::string& nameRegex) {
        std::vector<std::string> found;
        WaitUntil([&] { return !(found = x.FindWindows(nameRegex)).empty(); });
        return found.empty() ? std::string() : found.front();
    }

    // A foreign window (an xmessage of the given geometry and class name) and its X id, as a
    // screen-saver host or a preview's settings window would give it.
    std::pair<std::unique_ptr<Process>, std::string> HostWindow(const std::string& geometry,
                                                                const std::string& name) {
        auto host = std::make_unique<Process>(
            "xmessage", std::vector<std::string>{"-geometry", geometry, "-name", name, "host"},
            std::vector<std::string>{"DISPLAY=" + x.Display()});
        std::string id;
        WaitUntil([&] {
            const RunResult r = x.Tool("xdotool", {"search", "--onlyvisible", "--classname", name});
            id = r.out.substr(0, r.out.find('\n'));
            return !id.empty();
        });
        return {std::move(host), id};
    }

    // Still running after a while: input that must not end the show has had its chance.
    static bool KeepsRunning(Process& p) { return !p.WaitExit(1500); }

    bool TempFoldersGone() const { return fs::is_empty(dir / "tmp"); }

    std::string Opened() const {
        const std::string path = dir / "opened.txt";
        return fs::exists(path) ? ReadText(path) : std::string();
    }

    static std::string ReadText(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    XServer x;
    ScratchDir dir;
};

} // namespace pictorelle::test
