#include "CrashDump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Dialogs.h"

namespace App {

namespace {

constexpr std::array kSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kMaxFrames = 128;
constexpr std::size_t kAltStackSize = 64 * 1024;
constexpr std::size_t kPathLimit = 4096;

// Prepared at installation, as a crashed process can't be trusted to allocate.
char g_selfPath[kPathLimit];
alignas(16) unsigned char g_altStack[kAltStackSize];

constexpr std::size_t kNameSize = 256;

void FormatDumpName(const std::tm& local, char (&name)[kNameSize]) {
    std::snprintf(name, kNameSize, "%.4d-%.2d-%.2d %.2d.%.2d.%.2d.dmp", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

void Write(int fd, const char* text) {
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0) {
            return;
        }
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

bool AskUser() {
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        char* const argv[] = {g_selfPath, const_cast<char*>(kCrashPromptSwitch), nullptr};
        ::execv(g_selfPath, argv);
        ::_exit(kPromptAnswerNo);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == kPromptAnswerYes;
}

void CopyFile(const char* path, int out) {
    const int in = ::open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
        if (::write(out, buffer, static_cast<std::size_t>(n)) != n) {
            break;
        }
    }
    ::close(in);
}

void WriteDump(int signal, const siginfo_t* info) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) {
        return;
    }
    char name[kNameSize];
    FormatDumpName(local, name);
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    char line[256];
    std::snprintf(line, sizeof line, "signal %d (%s)\naddress %p\n\nbacktrace:\n", signal,
                  ::strsignal(signal), info ? info->si_addr : nullptr);
    Write(fd, line);
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, static_cast<int>(kMaxFrames));
    ::backtrace_symbols_fd(frames, count, fd);
    Write(fd, "\nmemory map:\n");
    CopyFile("/proc/self/maps", fd);
    ::close(fd);
}

void CrashDumpFilter(int signal, siginfo_t* info, void*) {
    if (AskUser()) {
        WriteDump(signal, info);
    }
    ::_exit(128 + signal);
}

}  // namespace

std::string DumpFileName(const std::tm& local) {
    char name[kNameSize];
    FormatDumpName(local, name);
    return name;
}

void InstallCrashDumpFilter() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    const ssize_t n = ::readlink("/proc/self/exe", g_selfPath, sizeof g_selfPath - 1);
    g_selfPath[n > 0 ? n : 0] = '\0';
    // backtrace() loads its unwinder on first use; do that now rather than in the handler.
    void* warm[1];
    ::backtrace(warm, 1);

    stack_t stack{};
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof g_altStack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = CrashDumpFilter;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

int RunCrashPrompt(int argc, char** argv) {
    if (const char* answer = std::getenv(kCrashAnswerEnv)) {
        return std::strcmp(answer, "yes") == 0 ? kPromptAnswerYes : kPromptAnswerNo;
    }
    QApplication app(argc, argv);
    const MsgAnswer answer =
        ShowMessage({nullptr, QString::fromUtf8("程序即将崩溃，是否保存dump文件?"),
                     QString::fromUtf8("未处理异常"), MsgButtons::YesNo, MsgIcon::Critical});
    return answer == MsgAnswer::Yes ? kPromptAnswerYes : kPromptAnswerNo;
}

void CrashIfAsked() {
    const char* value = std::getenv(kTestCrashEnv);
    if (!value) {
        return;
    }
    // The address comes from outside so that nothing can prove the read away.
    const auto address = static_cast<std::uintptr_t>(std::strtoull(value, nullptr, 0));
    volatile const int* bad = reinterpret_cast<volatile const int*>(address);
    std::printf("%d\n", *bad);
}

}  // namespace App
