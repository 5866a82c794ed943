#include "NameFilter.h"

#include <algorithm>

namespace App {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the UTF-8 character at `at`: a wildcard's `?` takes it whole.
std::size_t CharLength(std::string_view text, std::size_t at) {
    std::size_t end = at + 1;
    while (end < text.size() && IsContinuation(text[end])) {
        ++end;
    }
    return end - at;
}

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace

bool GlobMatch(std::string_view pattern, std::string_view text) {
    // The usual walk with one remembered star: a mismatch after a star lets that star take
    // one more character and tries again, so the work stays linear in practice.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += CharLength(text, t);
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starT += CharLength(text, starT);
            t = starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

NameFilter::NameFilter(std::string_view folded) {
    std::string text(folded);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (!HasWildcard(text) && text.find('/') == std::string::npos) {
        m_part = std::move(text);
        return;
    }
    m_pattern = true;
    m_anchored = text.front() == '/';
    m_below = text.back() == '/';
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        if (end > start) {
            parts.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    if (!m_below && !parts.empty()) {
        m_name = std::move(parts.back());
        parts.pop_back();
    }
    m_folders.assign(parts.rbegin(), parts.rend());
}

bool NameFilter::MatchesName(std::string_view name) const {
    if (!m_pattern) {
        return name.find(m_part) != std::string_view::npos;
    }
    return m_below || GlobMatch(m_name, name);
}

bool NameFilter::FoldersMatchAt(const std::vector<std::string_view>& folders,
                                std::size_t from) const {
    if (from + m_folders.size() > folders.size()) {
        return false;
    }
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        if (!GlobMatch(m_folders[i], folders[from + i])) {
            return false;
        }
    }
    return !m_anchored || from + m_folders.size() == folders.size();
}

bool NameFilter::MatchesFolders(const std::vector<std::string_view>& folders) const {
    if (!m_below) {
        return FoldersMatchAt(folders, 0);
    }
    // Any file below: the named folders may stand at any height above it.
    for (std::size_t from = 0; from + m_folders.size() <= folders.size(); ++from) {
        if (FoldersMatchAt(folders, from)) {
            return true;
        }
    }
    return false;
}

}  // namespace App
