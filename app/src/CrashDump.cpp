#include "CrashDump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include "Dialogs.h"

extern char** environ;

namespace App {

namespace {

constexpr std::array kSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kMaxFrames = 128;
constexpr std::size_t kAltStackSize = std::size_t{64} * 1024;
constexpr std::size_t kPathLimit = 4096;
constexpr std::size_t kLineSize = 256;
constexpr long kSecondsPerDay = 86400;

// Prepared at installation: between the signal and the exec only async-signal-safe calls
// run, so nothing may be allocated, formatted by the C library or looked up then.
char g_selfPath[kPathLimit];
char g_promptSwitch[] = "--crash-prompt";
long g_utcOffset = 0;  // seconds east of UTC when the handler was installed
alignas(16) unsigned char g_altStack[kAltStackSize];

// A fixed-size line built without the C library's formatting.
struct Line {
    char text[kLineSize] = {};
    std::size_t length = 0;

    void Add(const char* s) {
        while (*s && length + 1 < kLineSize) {
            text[length++] = *s++;
        }
    }
    void AddNumber(unsigned long long value, int width = 0) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0);
        while (n < width && n < 20) {
            digits[n++] = '0';
        }
        while (n > 0 && length + 1 < kLineSize) {
            text[length++] = digits[--n];
        }
    }
    void AddHex(std::uintptr_t value) {
        Add("0x");
        char digits[2 * sizeof value];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value > 0);
        while (n > 0 && length + 1 < kLineSize) {
            text[length++] = digits[--n];
        }
    }
};

struct Civil {
    long long year;
    unsigned month, day, hour, minute, second;
};

// The calendar date and time of a count of seconds since 1970 (proleptic Gregorian).
Civil CivilFromSeconds(long long seconds) {
    long long days = seconds / kSecondsPerDay;
    long long rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2);
    return {year,
            month,
            day,
            static_cast<unsigned>(rest / 3600),
            static_cast<unsigned>(rest / 60 % 60),
            static_cast<unsigned>(rest % 60)};
}

// "YYYY-MM-DD hh.mm.ss.dmp".
Line DumpName(const Civil& t) {
    Line name;
    name.AddNumber(static_cast<unsigned long long>(t.year), 4);
    name.Add("-");
    name.AddNumber(t.month, 2);
    name.Add("-");
    name.AddNumber(t.day, 2);
    name.Add(" ");
    name.AddNumber(t.hour, 2);
    name.Add(".");
    name.AddNumber(t.minute, 2);
    name.Add(".");
    name.AddNumber(t.second, 2);
    name.Add(".dmp");
    return name;
}

const char* SignalText(int signal) {
    switch (signal) {
        case SIGSEGV:
            return "Segmentation fault";
        case SIGBUS:
            return "Bus error";
        case SIGFPE:
            return "Floating point exception";
        case SIGILL:
            return "Illegal instruction";
        case SIGABRT:
            return "Aborted";
        default:
            return "?";
    }
}

void Write(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, text, length);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

void Write(int fd, const char* text) {
    Write(fd, text, std::strlen(text));
}

// Asks through a fresh copy of the program. _Fork takes none of the C library's locks, so
// a crash inside malloc (its arena lock held) can't hang here.
bool AskUser() {
    const pid_t child = ::_Fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        char* const argv[] = {g_selfPath, g_promptSwitch, nullptr};
        ::execve(g_selfPath, argv, environ);
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
        Write(out, buffer, static_cast<std::size_t>(n));
    }
    ::close(in);
}

void WriteDump(const Line& name, int signal, const siginfo_t* info) {
    const int fd = ::open(name.text, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    Line line;
    line.Add("signal ");
    line.AddNumber(static_cast<unsigned>(signal));
    line.Add(" (");
    line.Add(SignalText(signal));
    line.Add(")\naddress ");
    line.AddHex(reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr));
    line.Add("\n\nbacktrace:\n");
    Write(fd, line.text, line.length);
    void* frames[kMaxFrames];
    const int count = ::backtrace(frames, static_cast<int>(kMaxFrames));
    ::backtrace_symbols_fd(frames, count, fd);
    Write(fd, "\nmemory map:\n");
    CopyFile("/proc/self/maps", fd);
    ::close(fd);
}

void CrashDumpFilter(int signal, siginfo_t* info, void*) {
    // The name tells when the program crashed, not when the user answered.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const Line name = DumpName(CivilFromSeconds(now.tv_sec + g_utcOffset));
    if (AskUser()) {
        WriteDump(name, signal, info);
    }
    ::_exit(128 + signal);
}

// A process with several threads whose heap is corrupted so that malloc aborts while it
// holds its arena lock (the threads make the allocator take it).
[[noreturn]] void CorruptHeap() {
    for (int i = 0; i < 3; ++i) {
        std::thread([] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        }).detach();
    }
    static void* volatile kept[3];
    constexpr std::size_t kLarge = 4000;  // past the per-thread cache: freed to the bins
    kept[0] = std::malloc(kLarge);
    kept[1] = std::malloc(kLarge);
    std::free(kept[0]);
    // The freed chunk's size field claims more than the heap holds.
    static_cast<std::size_t*>(kept[0])[-1] = (std::size_t{1} << 40) | 1;
    kept[2] = std::malloc(kLarge + 1000);
    std::abort();
}

}  // namespace

std::string DumpFileName(const std::tm& local) {
    const Civil t{local.tm_year + 1900LL,
                  static_cast<unsigned>(local.tm_mon + 1),
                  static_cast<unsigned>(local.tm_mday),
                  static_cast<unsigned>(local.tm_hour),
                  static_cast<unsigned>(local.tm_min),
                  static_cast<unsigned>(local.tm_sec)};
    return DumpName(t).text;
}

std::string DumpFileName(long long secondsSince1970) {
    return DumpName(CivilFromSeconds(secondsSince1970)).text;
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
    // The handler can't read the time zone: the offset of now serves for the whole run.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local)) {
        g_utcOffset = local.tm_gmtoff;
    }

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

int AskAboutCrash() {
    const MsgAnswer answer =
        ShowMessage({nullptr, QString::fromUtf8("程序即将崩溃，是否保存dump文件?"),
                     QString::fromUtf8("未处理异常"), MsgButtons::YesNo, MsgIcon::Critical});
    return answer == MsgAnswer::Yes ? kPromptAnswerYes : kPromptAnswerNo;
}

int RunCrashPrompt(int argc, char** argv) {
    if (const char* answer = std::getenv(kCrashAnswerEnv)) {
        // "yes" or "no", optionally ":N" for an answer that takes N seconds to come.
        const char* colon = std::strchr(answer, ':');
        if (colon) {
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(colon + 1)));
        }
        const std::string_view word(answer, colon ? colon - answer : std::strlen(answer));
        return word == "yes" ? kPromptAnswerYes : kPromptAnswerNo;
    }
    QApplication app(argc, argv);
    return AskAboutCrash();
}

void CrashIfAsked() {
    const char* value = std::getenv(kTestCrashEnv);
    if (!value) {
        return;
    }
    if (std::strcmp(value, "heap") == 0) {
        CorruptHeap();
    }
    // The address comes from outside so that nothing can prove the read away.
    const auto address = static_cast<std::uintptr_t>(std::strtoull(value, nullptr, 0));
    volatile const int* bad = reinterpret_cast<volatile const int*>(address);
    std::printf("%d\n", *bad);
}

}  // namespace App
