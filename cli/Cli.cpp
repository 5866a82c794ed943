#include "Cli.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/text.h"

namespace Cli {

namespace {

bool IsNumber(const char* text) {
    char* end = nullptr;
    std::strtod(text, &end);
    return end != text && *end == 0;
}

}  // namespace

Args::Args(std::span<char*> argv, const std::vector<std::string>& valueOptions,
           const std::vector<std::string>& flagOptions,
           const std::vector<std::string>& numberOptions) {
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
        } else if (contains(numberOptions, arg)) {
            const bool number = i + 1 < argv.size() && IsNumber(argv[i + 1]);
            m_options.emplace_back(arg, number ? argv[++i] : "");
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

void ExpectPositionals(const Args& args, std::initializer_list<std::string_view> names) {
    const std::vector<std::string>& given = args.Positionals();
    const std::vector<std::string_view> wanted(names);
    if (given.size() < wanted.size()) {
        std::string missing = "missing";
        for (std::size_t i = given.size(); i < wanted.size(); ++i) {
            std::string_view name = wanted[i];
            if (name.ends_with("...")) {
                name.remove_suffix(3);
            }
            missing += (i == given.size() ? " " : " and ") + std::string(name);
        }
        FailUsage(missing);
    }
    const bool repeats = !wanted.empty() && wanted.back().ends_with("...");
    if (given.size() > wanted.size() && !repeats) {
        std::string extra =
            given.size() - wanted.size() == 1 ? "extra argument:" : "extra arguments:";
        for (std::size_t i = wanted.size(); i < given.size(); ++i) {
            extra += " " + given[i];
        }
        FailUsage(extra);
    }
}

PakMgr::IPakMgr& OpenGame(PakMgr::IPakMgr& mgr, const std::string& folder) {
    mgr.Clear();
    const bool opened = mgr.Open(folder);
    for (const PakMgr::SkippedArchive& skipped : mgr.GetSkippedArchives()) {
        std::fprintf(stderr, "vell: skipped %s: %s\n", skipped.name.c_str(),
                     skipped.reason.c_str());
    }
    if (!opened) {
        Fail(kUsage, "where is the game ?!\nvell: " + folder + ": " + PakMgr::WhyNoGame(folder));
    }
    mgr.BuildTree();
    return mgr;
}

PakMgr::IPakMgr& OpenGame(const std::string& folder) {
    return OpenGame(*PakMgr::GetPakMgr(), folder);
}

PakMgr::ITreeNode* NodeAt(PakMgr::IPakMgr& mgr, const std::string& path) {
    PakMgr::ITreeNode* node = PakMgr::FindPath(mgr, path);
    if (!node) {
        Fail(kUsage, "no such file in the archives: " + path);
    }
    return node;
}

std::string ShownPath(PakMgr::ITreeNode* node) {
    return Base::GbkToUtf8(PakMgr::NodePath(node, '/'));
}

void MakeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        Fail(kFailed, "can't create folder " + folder);
    }
}

void MakeFolderFor(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty()) {
        MakeFolder(folder.string());
    }
}

}  // namespace Cli
