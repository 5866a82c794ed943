#include <algorithm>
#include <cerrno>
#include <string>

#include "base/text.h"
#include "pakmgr/pakmgr.h"

namespace PakMgr {

namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuation = 0x80;
constexpr std::size_t kLongestExtension = 32;

// The length of the longest prefix of `text` within `limit` bytes that ends between two
// UTF-8 characters.
std::size_t CharacterCut(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & kContinuationMask) == kContinuation) {
        --n;
    }
    return n;
}

// `name` cut to kMaxFileNameBytes with `suffix` before its extension. A "extension" too long
// to keep beside a fair part of the name counts as part of the name.
std::string CutName(const std::string& name, const std::string& suffix) {
    const std::size_t dot = name.rfind('.');
    std::string_view extension;
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= kLongestExtension) {
        extension = std::string_view(name).substr(dot);
    }
    const std::string_view stem = std::string_view(name).substr(0, name.size() - extension.size());
    const std::size_t room = kMaxFileNameBytes - extension.size() - suffix.size();
    std::string cut(stem.substr(0, CharacterCut(stem, room)));
    cut += suffix;
    cut += extension;
    return cut;
}

// The name in UTF-8 with the characters a file name can't hold replaced, not yet cut.
std::string SafeUncut(std::string_view archiveName) {
    std::string name = Base::GbkToUtf8(archiveName);
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; }, '_');
    if (name.empty() || name == "." || name == "..") {
        name = "_";
    }
    return name;
}

}  // namespace

std::string SafeFileName(std::string_view archiveName, CutNames* names) {
    return names ? SafeFileName(archiveName, *names, archiveName)
                 : CutName(SafeUncut(archiveName), std::string());
}

std::string SafeFileName(std::string_view wanted, CutNames& names, std::string_view source) {
    const std::string name = SafeUncut(wanted);
    return names.Claim(std::string(source), [&name](int number) {
        return CutName(name, number == 0 ? std::string() : "~" + std::to_string(number));
    });
}

std::string CutNames::Claim(const std::string& source,
                            const std::function<std::string(int)>& numbered) {
    if (const auto given = m_bySource.find(source); given != m_bySource.end()) {
        return given->second;
    }
    std::string name = numbered(0);
    for (int number = 1; m_given.contains(name); ++number) {
        name = numbered(number);
    }
    if (name != numbered(0)) {
        m_renamed.push_back({source, name});
    }
    m_given.insert(name);
    m_bySource.emplace(source, name);
    return name;
}

ITreeNode* FindPath(IPakMgr& mgr, std::string_view utf8Path) {
    ITreeNode* node = mgr.GetRoot();
    std::string path = Base::Utf8ToGbk(utf8Path);
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string_view rest(path);
    if (!rest.empty() && rest.front() == '\\') {
        rest.remove_prefix(1);
    }
    while (node) {
        std::size_t e = rest.find('\\');
        node = node->FindChild(std::string(rest.substr(0, e)));
        if (e == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(e + 1);
    }
    return node;
}

std::string NodePath(ITreeNode* node, char separator) {
    std::vector<std::string_view> parts;
    for (; node && node->GetParent(); node = node->GetParent()) {
        parts.push_back(node->Name());
    }
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (it != parts.rbegin()) {
            path += separator;
        }
        path += *it;
    }
    return path;
}

}  // namespace PakMgr
