#include "SwayServer.h"

#include "XServer.h"

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

namespace pictorelle::test {
namespace fs = std::filesystem;
namespace {

const char* const kUser = "pictorelle-wayland";

bool OnPath(const std::string& program) {
    return RunProgram("sh", {"-c", "command -v " + program}).status == 0;
}

// The unprivileged user that root runs sway as, made when it is missing.
passwd* TestUser() {
    if (passwd* user = getpwnam(kUser)) return user;
    RunProgram("useradd", {"--system", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
                           "/usr/sbin/nologin", kUser});
    return getpwnam(kUser);
}

void ChownTree(const std::string& path, int uid, int gid) {
    if (lchown(path.c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0) return;
    if (!fs::is_directory(path)) return;
    for (const auto& entry : fs::recursive_directory_iterator(path))
        lchown(entry.path().c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(gid));
}

} // namespace

SwayServer::SwayServer(int width, int height, const std::string& background, int outputs) {
    for (const char* tool : {"sway", "swaymsg", "grim", "wtype", "swaybg"})
        if (!OnPath(tool))
            throw SwayUnavailable(std::string(tool) +
                                  " is not installed (Debian: sway grim wtype)");
    if (geteuid() == 0) {
        passwd* user = TestUser();
        if (!user) throw SwayUnavailable(std::string("cannot create the user ") + kUser);
        uid_ = static_cast<int>(user->pw_uid);
        gid_ = static_cast<int>(user->pw_gid);
    }
    std::string pattern = fs::temp_directory_path() / "pictorelle-sway-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    home_ = root_ + "/home";
    runtime_ = root_ + "/run";
    fs::create_directory(home_);
    fs::create_directory(runtime_);
    fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(runtime_, fs::perms::owner_all);
    {
        std::ofstream config(root_ + "/config");
        config << "output * mode --custom " << width << "x" << height << "\n"
               << "output * bg " << background << " solid_color\n"
               << "xwayland disable\n";
    }
    if (uid_ >= 0) ChownTree(root_, uid_, gid_);

    const char* path = std::getenv("PATH");
    sway_ = Start("sway", {"-c", root_ + "/config"},
                  {"WLR_BACKENDS=headless", "WLR_HEADLESS_OUTPUTS=" + std::to_string(outputs),
                   "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                   "PATH=" + std::string(path ? path : "/usr/bin:/bin")});
    const bool up = WaitUntil([&] {
        if (!sway_->Running()) return false;
        for (const auto& entry : fs::directory_iterator(runtime_)) {
            const std::string name = entry.path().filename();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) waylandDisplay_ = name;
            if (name.starts_with("sway-ipc.")) swaySocket_ = entry.path();
        }
        return !waylandDisplay_.empty() && !swaySocket_.empty() &&
               Msg({"-t", "get_outputs"}).status == 0;
    });
    if (!up) throw SwayUnavailable("sway did not start headless: " + sway_->Err().substr(0, 2000));

    // The seat's pointer; a copy the compositor's user may run.
    const std::string pointer = root_ + "/virtual-pointer";
    fs::copy_file(PICTORELLE_VIRTUAL_POINTER, pointer);
    GiveToUser(pointer);
    pointer_ = Start(pointer, {});
    if (!WaitUntil([&] { return pointer_->Out().find("ready") != std::string::npos; }))
        throw std::runtime_error("the seat got no pointer: " + pointer_->Err());
}

SwayServer::~SwayServer() {
    pointer_.reset();
    if (sway_) {
        sway_->Kill(SIGTERM);
        if (!sway_->WaitExit(5000)) sway_->Kill(SIGKILL);
        sway_.reset();
    }
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::vector<std::string> SwayServer::Env() const {
    return {"XDG_RUNTIME_DIR=" + runtime_,
            "WAYLAND_DISPLAY=" + waylandDisplay_,
            "SWAYSOCK=" + swaySocket_,
            "HOME=" + home_,
            "DISPLAY=",
            "QT_QPA_PLATFORM=",
            "XDG_CURRENT_DESKTOP=",
            "DBUS_SESSION_BUS_ADDRESS="};
}

std::vector<std::string> SwayServer::AsUser(const std::string& program,
                                            const std::vector<std::string>& args) const {
    std::vector<std::string> command;
    if (uid_ >= 0)
        command = {"--reuid",        std::to_string(uid_),
                   "--regid",        std::to_string(gid_),
                   "--clear-groups", "--"};
    command.push_back(program);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

std::unique_ptr<Process> SwayServer::Start(const std::string& program,
                                           const std::vector<std::string>& args,
                                           const std::vector<std::string>& env) const {
    std::vector<std::string> all = Env();
    all.insert(all.end(), env.begin(), env.end());
    // setpriv changes the user and becomes the program, so the test's process is the program.
    if (uid_ < 0) return std::make_unique<Process>(program, args, all);
    return std::make_unique<Process>("setpriv", AsUser(program, args), all);
}

RunResult SwayServer::Tool(const std::string& program, const std::vector<std::string>& args) const {
    if (uid_ < 0) return RunProgram(program, args, Env());
    return RunProgram("setpriv", AsUser(program, args), Env());
}

void SwayServer::GiveToUser(const std::string& path) const {
    if (uid_ >= 0) ChownTree(path, uid_, gid_);
}

RunResult SwayServer::Msg(const std::vector<std::string>& command) const {
    return Tool("swaymsg", command);
}

nlohmann::json SwayServer::Query(const std::string& type) const {
    const RunResult r = Msg({"-r", "-t", type});
    return nlohmann::json::parse(r.out, nullptr, false);
}

QImage SwayServer::Screenshot(const std::string& output) const {
    const std::string file = home_ + "/screenshot.png";
    std::vector<std::string> args = {"-t", "png", "-l", "0"};
    if (!output.empty()) args.insert(args.end(), {"-o", output});
    args.push_back(file);
    if (Tool("grim", args).status != 0) return {};
    QImage shot(QString::fromStdString(file));
    fs::remove(file);
    return shot;
}

void SwayServer::MovePointer(int dx, int dy) const {
    Msg({"seat", "-", "cursor", "move", std::to_string(dx), std::to_string(dy)});
}

void SwayServer::SetPointer(int x, int y) const {
    Msg({"seat", "-", "cursor", "set", std::to_string(x), std::to_string(y)});
}

void SwayServer::Click(int button) const {
    const std::string name = "button" + std::to_string(button);
    Msg({"seat", "-", "cursor", "press", name});
    Msg({"seat", "-", "cursor", "release", name});
}

void SwayServer::Key(const std::string& name) const {
    // wtype makes a new virtual keyboard for each call; the pause lets its keymap reach the
    // compositor and the focused client before the key does (on a loaded machine a key sent at
    // once was sometimes lost).
    Tool("wtype", {"-s", "150", "-k", name});
}

std::vector<nlohmann::json> SwayServer::Views(const std::string& name) const {
    std::vector<nlohmann::json> found;
    std::vector<nlohmann::json> pending = {Query("get_tree")};
    while (!pending.empty()) {
        nlohmann::json node = std::move(pending.back());
        pending.pop_back();
        if (!node.is_object()) continue;
        const std::string type = node.value("type", "");
        if ((type == "con" || type == "floating_con") && node.value("name", "") == name &&
            node.contains("pid"))
            found.push_back(node);
        for (const char* key : {"nodes", "floating_nodes"})
            if (node.contains(key))
                for (const auto& child : node[key])
                    pending.push_back(child);
    }
    return found;
}

} // namespace pictorelle::test
