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
