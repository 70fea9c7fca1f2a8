// Starting the real programs from tests and collecting what they print.
#pragma once

#include <string>
#include <vector>

namespace pictorelle::test {

struct RunResult {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), standard input closed.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);
// The same with "NAME=value" entries that replace or add to the inherited environment;
// "NAME=" with nothing after the sign removes NAME.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env);

// A program running in the background while the test drives it. Killed (SIGKILL) if it is
// still running when the object goes away.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits up to timeoutMs for the program to end; true when it has.
    bool WaitExit(int timeoutMs);
    bool Running() { return !WaitExit(0); }
    // Exit status once ended: the code, or -1 after a signal.
    int Status() const { return status_; }
    int Signal() const { return signal_; }
    void Kill(int signal);
    std::string Out() const;
    std::string Err() const;
    int Pid() const { return pid_; }

private:
    std::string outPath_, errPath_;
    std::string dir_;
    int pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
    int signal_ = 0;
};

// A scratch folder removed at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string BinPath(const std::string& name) { return std::string(PICTORELLE_BIN_DIR) + "/" + name; }

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
void WriteText(const std::string& path, const std::string& text);

} // namespace pictorelle::test
