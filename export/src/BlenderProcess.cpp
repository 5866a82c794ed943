#include "BlenderProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/except.h"

extern char** environ;

namespace Export {
namespace {

// What an error quotes of Blender's own output.
constexpr std::size_t kLastLines = 12;

// Writes all of `text` to a pipe whose reader may be gone: EPIPE instead of SIGPIPE, which
// would end the whole program. The signal is blocked for this thread and, when raised,
// taken back before it is unblocked.
bool WriteToPipe(int fd, const std::string& text) {
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    std::size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!ok && errno == EPIPE) {
        const timespec now{};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return ok;
}

std::string Why(int status) {
    if (WIFEXITED(status)) {
        return "Blender ended with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("Blender was ended by ") + strsignal(WTERMSIG(status));
    }
    return "Blender ended";
}

}  // namespace

BlenderProcess::BlenderProcess(const std::string& blender, const std::string& script,
                               const std::string& workDir, unsigned index)
    : m_log(workDir + "/blender-" + std::to_string(index) + ".log"),
      m_results(workDir + "/blender-" + std::to_string(index) + ".results") {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw Except(ErrorKind::Io, "can't start Blender: %s", std::strerror(errno));
    }
    m_input = pipeEnds[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // Background, factory settings (no user add-on or preference changes the result), and a
    // failure of the script is Blender's exit status.
    std::vector<std::string> args = {
        blender, "-b",     "--factory-startup", "--python-exit-code", "1", "--python", script,
        "--",    m_results};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int error = posix_spawn(&m_pid, blender.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[0]);
    if (error != 0) {
        ::close(m_input);
        m_input = -1;
        m_pid = -1;
        throw Except(ErrorKind::Io, "can't start %s: %s", blender.c_str(), std::strerror(error));
    }
}

BlenderProcess::~BlenderProcess() {
    if (m_input >= 0) {
        ::close(m_input);
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool BlenderProcess::Convert(const std::string& gltf, const std::string& fbx) {
    const std::lock_guard lock(m_mutex);
    m_handed[fbx] = gltf;
    return m_input >= 0 && WriteToPipe(m_input, gltf + '\t' + fbx + '\n');
}

std::map<std::string, std::string> BlenderProcess::Finish() {
    const std::lock_guard lock(m_mutex);
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
    int status = 0;
    while (m_pid > 0 && ::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    std::map<std::string, std::string> outcome;
    std::ifstream results(m_results);
    for (std::string line; std::getline(results, line);) {
        std::istringstream fields(line);
        std::string word, fbx, why;
        std::getline(fields, word, '\t');
        std::getline(fields, fbx, '\t');
        std::getline(fields, why);
        if (m_handed.count(fbx) != 0) {
            outcome[fbx] = word == "ok" ? "" : "Blender: " + why;
        }
    }
    // A file Blender never answered for: it ended before it came to it.
    const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    for (const auto& [fbx, gltf] : m_handed) {
        if (outcome.count(fbx) == 0) {
            outcome[fbx] =
                (failed ? Why(status) : std::string("Blender wrote nothing")) + LastWords();
        }
    }
    return outcome;
}

std::string BlenderProcess::LastWords() const {
    std::ifstream log(m_log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    std::string words;
    const std::size_t from = lines.size() > kLastLines ? lines.size() - kLastLines : 0;
    for (std::size_t i = from; i < lines.size(); ++i) {
        words += "\n  " + lines[i];
    }
    return words.empty() ? "" : "; it said:" + words;
}

}  // namespace Export
