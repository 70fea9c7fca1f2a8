#include "XServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pictorelle::test {

XServer::XServer(int width, int height) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    // Xvfb picks a free display itself and writes its number to the inherited pipe.
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd,    "-screen", "0",
                                     screen, "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start Xvfb");
    }
    pid_ = pid;

    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && ::poll(&p, 1, 30000) > 0) {
        char buffer[32];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        throw std::runtime_error("Xvfb did not report its display");
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

XServer::~XServer() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 250 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
}

RunResult XServer::Tool(const std::string& program, const std::vector<std::string>& args) const {
    return RunProgram(program, args, {"DISPLAY=" + display_});
}

std::vector<std::string> XServer::FindWindows(const std::string& nameRegex) const {
    const RunResult r = Tool("xdotool", {"search", "--onlyvisible", "--name", nameRegex});
    std::vector<std::string> ids;
    size_t start = 0;
    for (size_t end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start) ids.push_back(r.out.substr(start, end - start));
    return ids;
}

std::optional<WindowInfo> XServer::Info(const std::string& window) const {
    const RunResult r = Tool("xwininfo", {"-id", window});
    if (r.status != 0) return std::nullopt;
    auto number = [&](const std::string& label) {
        const std::regex re(label + R"(:\s*(-?\d+))");
        std::smatch m;
        return std::regex_search(r.out, m, re) ? std::stoi(m[1]) : -1;
    };
    WindowInfo info;
    info.x = number("Absolute upper-left X");
    info.y = number("Absolute upper-left Y");
    info.width = number("Width");
    info.height = number("Height");
    info.overrideRedirect = r.out.find("Override Redirect State: yes") != std::string::npos;
    info.viewable = r.out.find("Map State: IsViewable") != std::string::npos;
    return info;
}

Rgb XServer::Pixel(int x, int y) const {
    const std::string crop = "1x1+" + std::to_string(x) + "+" + std::to_string(y);
    const RunResult r = Tool("import", {"-window", "root", "-crop", crop, "-depth", "8", "txt:-"});
    // "0,0: (255,0,0)  #FF0000  red": the numbers come first; a colour with a name has the
    // name instead of the srgb(...) form at the end.
    const std::regex re(R"(:\s*\((\d+),(\d+),(\d+)\))");
    std::smatch m;
    if (!std::regex_search(r.out, m, re)) return {};
    return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])};
}

QImage XServer::Screenshot() const {
    char pattern[] = "/tmp/pictorelle-shot-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) return {};
    ::close(fd);
    const std::string path = pattern;
    Tool("import", {"-window", "root", "png:" + path});
    QImage image(QString::fromStdString(path), "PNG");
    ::unlink(path.c_str());
    return image.convertToFormat(QImage::Format_RGB32);
}

void XServer::MoveMouse(int x, int y) const {
    Tool("xdotool", {"mousemove", std::to_string(x), std::to_string(y)});
}

void XServer::Key(const std::string& key) const {
    Tool("xdotool", {"key", key});
}

void XServer::Click(int button) const {
    Tool("xdotool", {"click", std::to_string(button)});
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace pictorelle::test
