// The tree's filter text as a rule for files. Plain text is a part of a file's name, as it
// always was. A text with a wildcard (`*` any run of characters, `?` one character) or a
// folder separator (`/` or `\`) is a pattern instead: its last part matches a whole name, the
// parts before it the folders right above the file, from any depth unless the pattern starts
// with a separator (then from the top). A pattern ending in a separator takes every file
// below the folders it names. Names and texts are compared folded by Base::LowerAscii.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace App {

class NameFilter {
public:
    // `folded` is the box's text in UTF-8, its ASCII letters lowered.
    explicit NameFilter(std::string_view folded);

    bool Empty() const { return m_part.empty() && !m_pattern; }
    bool IsPattern() const { return m_pattern; }

    // A file matches when its folded name does and, where NeedsFolders(), its folders'
    // folded names too, listed from the nearest up to the top level.
    bool MatchesName(std::string_view name) const;
    bool NeedsFolders() const { return m_pattern && (!m_folders.empty() || m_anchored); }
    bool MatchesFolders(const std::vector<std::string_view>& folders) const;

private:
    bool FoldersMatchAt(const std::vector<std::string_view>& folders, std::size_t from) const;

    std::string m_part;                  // plain text
    bool m_pattern = false;              // the rest applies
    bool m_anchored = false;             // starts at the top level
    bool m_below = false;                // ends in a separator: any file below
    std::vector<std::string> m_folders;  // folder patterns, nearest to the file first
    std::string m_name;                  // the name pattern (unused when m_below)
};

// Whether `text` matches the whole of `pattern`, where `*` stands for any run of characters
// and `?` for one UTF-8 character.
bool GlobMatch(std::string_view pattern, std::string_view text);

}  // namespace App
