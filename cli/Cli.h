// Shared plumbing of the `vell` sub-commands.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/except.h"
#include "pakmgr/pakmgr.h"

namespace Cli {

// The exit status, one rule for every command:
//   kOk     the work is done (for --each: every model written);
//   kFailed what the command line rightly asks for fails: a file can't be read, is corrupt,
//           of a version or format this program doesn't know, or can't be written; memory
//           runs out;
//   kUsage  the command line is wrong: in its shape (an argument or option missing, unknown
//           or not of its form: FailUsage), or in what it names (a folder without archives, a
//           path the archives don't hold, a number past what the file has, a file of the
//           wrong kind: "not .skn file", which the model throws as an Except of kind Input).
enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 2 };

// Thrown to end a sub-command with a message on stderr and an exit status.
struct Exit {
    int code;
    std::string message;
    // The command's usage line follows the message. Only for errors in the command line's
    // shape, where it shows what was wanted; for what an argument names it would only repeat
    // the command line back.
    bool showUsage = false;
};

// Ends the command with the message and the status, without the usage line.
[[noreturn]] inline void Fail(int code, std::string message) {
    throw Exit{code, std::move(message)};
}

// Ends the command for an error in the command line's shape: status kUsage, then the usage.
[[noreturn]] inline void FailUsage(std::string message) {
    throw Exit{kUsage, std::move(message), true};
}

// The status of a failure thrown as Except, by the rule above: kUsage for ErrorKind::Input
// (the wrong thing asked for), kFailed for every other kind.
int ExitCodeOf(const Except& failure);

// Arguments after the sub-command: positionals and options in any order.
class Args {
public:
    // A number option is a flag whose next argument, when it is a number, is its value
    // ("--turntable 6", or "--turntable" alone).
    Args(std::span<char*> argv, const std::vector<std::string>& valueOptions,
         const std::vector<std::string>& flagOptions,
         const std::vector<std::string>& numberOptions = {});
    const std::vector<std::string>& Positionals() const { return m_positionals; }
    bool Has(std::string_view option) const;
    std::string Value(std::string_view option) const;  // empty when absent
    // Every value of an option given more than once, in order.
    std::vector<std::string> Values(std::string_view option) const;
    // The one value of a required option; a usage error when absent.
    std::string Required(std::string_view option) const;

private:
    std::vector<std::string> m_positionals;
    std::vector<std::pair<std::string, std::string>> m_options;
};

// The positionals a command takes, by the names its usage gives them ("GAME_DIR", "PATH");
// a last name ending in "..." takes one or more. A usage error saying what is missing or
// which arguments are extra.
void ExpectPositionals(const Args& args, std::initializer_list<std::string_view> names);

// Opens the game folder as File / Open does: Clear, Open, BuildTree. Each archive skipped
// gets a line "vell: skipped NAME: REASON" on stderr; a folder without a readable archive
// ends the command with status 2, "where is the game ?!" and, on a second line, the folder
// and why.
PakMgr::IPakMgr& OpenGame(const std::string& folder);
PakMgr::IPakMgr& OpenGame(PakMgr::IPakMgr& mgr, const std::string& folder);
// The node a command-line path names; exits with status 2 when there is none.
PakMgr::ITreeNode* NodeAt(PakMgr::IPakMgr& mgr, const std::string& path);
// A path of the archives as vell prints it: UTF-8, '/' between folders.
std::string ShownPath(PakMgr::ITreeNode* node);
// Creates the folder (and its parents); exits with status 1 when it can't. Every `-o`
// goes through it: a folder missing is made, never an error.
void MakeFolder(const std::string& folder);
// The same for the folder a file given with -o goes into.
void MakeFolderFor(const std::string& file);

// Buffered writing to stdout; fwrite per line would dominate listing large archives.
class Output {
public:
    ~Output() { Flush(); }
    void Put(std::string_view text) {
        m_buffer.append(text);
        if (m_buffer.size() > (1 << 16)) {
            Flush();
        }
    }
    void Flush() {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        m_buffer.clear();
    }

private:
    std::string m_buffer;
};

int CmdList(std::span<char*> args);
int CmdTree(std::span<char*> args);
int CmdExtract(std::span<char*> args);
int CmdInfo(std::span<char*> args);
int CmdTexture(std::span<char*> args);
int CmdFrames(std::span<char*> args);
int CmdRender(std::span<char*> args);
int CmdObj(std::span<char*> args);
int CmdGltf(std::span<char*> args);
int CmdMakeSample(std::span<char*> args);
int CmdWhich(std::span<char*> args);
int CmdDiff(std::span<char*> args);
int CmdPack(std::span<char*> args);
int CmdMods(std::span<char*> args);

}  // namespace Cli
