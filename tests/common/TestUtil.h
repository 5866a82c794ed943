// Helpers shared by the test programs: temporary folders and running the vell binary.
#pragma once

#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace TestUtil {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vell-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string Repeat(std::string_view part, std::size_t count) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) {
        s += part;
    }
    return s;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file-size limit for this process and the programs it runs, standing in for a disk that
// fills up: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

// The names in a folder, sorted; none when it does not exist.
inline std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with arguments (no shell), capturing its output and exit status; with
// `errOnTerminal` its stderr is a pseudo-terminal, as a user's shell runs it.
inline RunResult Run(const std::string& program, const std::vector<std::string>& args,
                     bool errOnTerminal = false) {
    TempDir io;
    std::string outPath = io / "out";
    std::string errPath = io / "err";
    int terminal = -1;
    int programSide = -1;
    if (errOnTerminal && ::openpty(&terminal, &programSide, nullptr, nullptr, nullptr) != 0) {
        return {.err = "no pseudo-terminal"};
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        // A child that can't set up its output never runs the program.
        if (!std::freopen(outPath.c_str(), "w", stdout)) {
            std::_Exit(127);
        }
        if (errOnTerminal) {
            ::close(terminal);
            ::dup2(programSide, STDERR_FILENO);
        } else if (!std::freopen(errPath.c_str(), "w", stderr)) {
            std::_Exit(127);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        std::_Exit(127);
    }
    RunResult r;
    if (errOnTerminal) {
        ::close(programSide);
        // Read until the program's side closes (EIO), then collect its status.
        char buffer[4096];
        for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) {
            r.err.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(terminal);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadText(outPath);
    if (!errOnTerminal) {
        r.err = ReadText(errPath);
    }
    return r;
}

#ifdef VELL_BINARY
inline RunResult Vell(const std::vector<std::string>& args, bool errOnTerminal = false) {
    return Run(VELL_BINARY, args, errOnTerminal);
}
#endif

}  // namespace TestUtil
