#include "Cli.h"

#include <algorithm>
#include <filesystem>

namespace Cli {

Args::Args(std::span<char*> argv, const std::vector<std::string>& valueOptions,
           const std::vector<std::string>& flagOptions) {
    auto contains = [](const std::vector<std::string>& list, const std::string& s) {
        return std::find(list.begin(), list.end(), s) != list.end();
    };
    for (std::size_t i = 0; i < argv.size(); ++i) {
        std::string arg = argv[i];
        if (contains(valueOptions, arg)) {
            if (i + 1 >= argv.size()) {
                FailUsage("option " + arg + " needs a value");
            }
            m_options.emplace_back(arg, argv[++i]);
        } else if (contains(flagOptions, arg)) {
            m_options.emplace_back(arg, "");
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            FailUsage("unknown option: " + arg);
        } else {
            m_positionals.push_back(std::move(arg));
        }
    }
}

bool Args::Has(std::string_view option) const {
    return std::any_of(m_options.begin(), m_options.end(),
                       [&](const auto& o) { return o.first == option; });
}

std::string Args::Value(std::string_view option) const {
    for (const auto& o : m_options) {
        if (o.first == option) {
            return o.second;
        }
    }
    return {};
}

std::vector<std::string> Args::Values(std::string_view option) const {
    std::vector<std::string> values;
    for (const auto& o : m_options) {
        if (o.first == option) {
            values.push_back(o.second);
        }
    }
    return values;
}

std::string Args::Required(std::string_view option) const {
    if (!Has(option)) {
        FailUsage("missing option " + std::string(option));
    }
    return Value(option);
}

int ExitCodeOf(const Except& failure) {
    return failure.Kind() == ErrorKind::Input ? kUsage : kFailed;
}

PakMgr::IPakMgr& OpenGame(const std::string& folder) {
    return OpenGame(*PakMgr::GetPakMgr(), folder);
}

PakMgr::IPakMgr& OpenGame(PakMgr::IPakMgr& game, const std::string& folder) {
    PakMgr::IPakMgr* mgr = &game;
    mgr->Clear();
    if (!mgr->Open(folder)) {
        Fail(kUsage, "where is the game ?!");
    }
    mgr->BuildTree();
    return *mgr;
}

PakMgr::ITreeNode* NodeAt(PakMgr::IPakMgr& mgr, const std::string& path) {
    PakMgr::ITreeNode* node = PakMgr::FindPath(mgr, path);
    if (!node) {
        Fail(kUsage, "no such file in the archives: " + path);
    }
    return node;
}

void MakeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        Fail(kFailed, "can't create folder " + folder);
    }
}

}  // namespace Cli
