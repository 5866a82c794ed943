// Crash report: on a fatal signal the user is asked (by a fresh copy of this program, as
// the crashed process can't be trusted to draw) whether to save a dump file into the
// current directory.
#pragma once

#include <ctime>
#include <string>

namespace App {

// The command-line switch that runs the program as the crash question only.
inline constexpr const char* kCrashPromptSwitch = "--crash-prompt";
// Set to "yes" or "no", answers the crash question without showing it (tests); ":N" after
// the word makes the answer come N seconds late.
inline constexpr const char* kCrashAnswerEnv = "VELL_CRASH_ANSWER";
// Set to an address, makes the program read it right after start; set to "heap", makes it
// start threads and corrupt its heap so that malloc aborts (tests).
inline constexpr const char* kTestCrashEnv = "VELL_TEST_CRASH";

inline constexpr int kPromptAnswerYes = 6;
inline constexpr int kPromptAnswerNo = 7;

// Installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT; only the first
// call does anything.
void InstallCrashDumpFilter();

// The dump's file name for a moment in local time: "YYYY-MM-DD hh.mm.ss.dmp"; the same
// from a count of seconds since 1970 in local time, as the crash handler makes it.
std::string DumpFileName(const std::tm& local);
std::string DumpFileName(long long secondsSince1970);

// The prompt-only mode: asks the question and returns kPromptAnswerYes or kPromptAnswerNo.
int RunCrashPrompt(int argc, char** argv);
// The question itself, in a running application.
int AskAboutCrash();

// Crashes on purpose when the test switch is set.
void CrashIfAsked();

}  // namespace App
