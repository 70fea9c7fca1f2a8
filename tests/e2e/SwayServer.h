// A private sway compositor (headless, software rendering) for tests of the show on Wayland,
// and the Wayland tools the tests drive it with: grim for screenshots, swaymsg for the pointer
// and the compositor's state, wtype for keys. sway refuses to run as root, so when the tests
// run as root the compositor, the tools and the programs under test all run as an unprivileged
// user, made on first use.
#pragma once

#include "Run.h"

#include <QImage>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace pictorelle::test {

// Why Wayland cannot run here at all (no sway, no user to run it as); a test skips with it.
struct SwayUnavailable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SwayServer {
public:
    // Starts sway with outputs of this size (HEADLESS-1, HEADLESS-2, ...) and a solid
    // background of the given colour ("#rrggbb"), so that anything not covered by a window
    // shows in it. The outputs exist from the start: sway 1.7 never repaints a headless output
    // made later with `create_output` for the windows on it, only for its background.
    SwayServer(int width, int height, const std::string& background, int outputs = 1);
    ~SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;

    // A folder the programs under test may use as their home, owned by the user they run as.
    const std::string& Home() const { return home_; }
    // What a client of this compositor needs: its sockets, its runtime folder, a home.
    std::vector<std::string> Env() const;

    // A program running as the compositor's user, with extra "NAME=value" entries.
    std::unique_ptr<Process> Start(const std::string& program, const std::vector<std::string>& args,
                                   const std::vector<std::string>& env = {}) const;
    RunResult Tool(const std::string& program, const std::vector<std::string>& args) const;
    // Hands a file or folder made by the test to the compositor's user.
    void GiveToUser(const std::string& path) const;

    RunResult Msg(const std::vector<std::string>& command) const;
    nlohmann::json Query(const std::string& type) const; // swaymsg -t TYPE, parsed
    // The screenshot of one output (empty: all of them).
    QImage Screenshot(const std::string& output = "") const;
    void MovePointer(int dx, int dy) const;
    void SetPointer(int x, int y) const;
    void Click(int button) const;
    void Key(const std::string& name) const;

    // The views (windows) of the tree whose name is this, with their nodes.
    std::vector<nlohmann::json> Views(const std::string& name) const;

private:
    std::vector<std::string> AsUser(const std::string& program,
                                    const std::vector<std::string>& args) const;

    std::string root_, home_, runtime_;
    std::string waylandDisplay_, swaySocket_;
    int uid_ = -1, gid_ = -1;
    std::unique_ptr<Process> sway_;
    std::unique_ptr<Process> pointer_;
};

} // namespace pictorelle::test
