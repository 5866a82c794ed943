// vell's help, its man page and the README's command list say the same things: the commands,
// their usage lines, what each does, which options each takes and what each option does. The
// help is the command table itself, asked of the real vell.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "TestUtil.h"

namespace {

using Pairs = std::set<std::pair<std::string, std::string>>;

std::string Squeezed(const std::string& text) {
    std::string out;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

// A line of the man page as it reads: a macro's arguments joined (without spaces for the
// two-font macros .BI, .BR..., which alternate fonts), escapes undone.
std::string Plain(const std::string& line) {
    std::string text = line;
    if (!line.empty() && line[0] == '.') {
        const std::size_t space = line.find(' ');
        const std::string macro = line.substr(1, space == std::string::npos ? 0 : space - 1);
        const char* glue = macro.size() == 2 ? "" : " ";
        text.clear();
        std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        for (std::size_t i = 0; i < rest.size();) {
            if (rest[i] == ' ') {
                ++i;
                continue;
            }
            const bool quoted = rest[i] == '"';
            const std::size_t end = rest.find(quoted ? '"' : ' ', i + 1);
            const std::size_t stop = end == std::string::npos ? rest.size() : end;
            text += (text.empty() ? "" : glue) +
                    rest.substr(i + (quoted ? 1 : 0), stop - i - (quoted ? 1 : 0));
            i = stop + 1;
        }
    }
    for (const char* font : {"\\fR", "\\fP", "\\fB", "\\fI", "\\&"}) {
        ReplaceAll(text, font, "");
    }
    ReplaceAll(text, "\\-", "-");
    ReplaceAll(text, "\\(aq", "'");
    ReplaceAll(text, "\\e", "\\");
    return text;
}

// A .TP entry of the man page: its first line and the text below it.
struct Entry {
    std::string head;
    std::string body;
};

std::map<std::string, std::vector<Entry>> ManSections() {
    std::istringstream man(TestUtil::ReadText(std::string(VELL_SOURCE_DIR) + "/packaging/vell.1"));
    std::map<std::string, std::vector<Entry>> sections;
    std::string section;
    bool head = false;
    for (std::string line; std::getline(man, line);) {
        if (line.starts_with(".SH ")) {
            section = line.substr(4);
        } else if (line == ".TP") {
            sections[section].push_back({});
            head = true;
        } else if (line.starts_with(".PP") || sections[section].empty()) {
            head = false;
        } else if (head) {
            sections[section].back().head = Squeezed(Plain(line));
            head = false;
        } else {
            sections[section].back().body += " " + Plain(line);
        }
    }
    for (auto& [name, entries] : sections) {
        for (Entry& e : entries) {
            e.body = Squeezed(e.body);
        }
    }
    return sections;
}

// What `vell help NAME` says.
struct Help {
    std::vector<std::string> usage;  // each line after "vell "
    std::string what;
    std::map<std::string, std::pair<std::string, std::string>> options;  // name: head, what
};

Help HelpOf(const std::string& name) {
    const TestUtil::RunResult r = TestUtil::Vell({"help", name});
    EXPECT_EQ(r.exitCode, 0) << name;
    std::istringstream lines(r.out);
    Help help;
    std::string line;
    while (std::getline(lines, line) && !line.empty()) {
        help.usage.push_back(line.substr(line.find("vell ") + 5));
    }
    std::getline(lines, help.what);
    while (std::getline(lines, line)) {
        const std::size_t gap = line.find("  ", 2);
        if (line.starts_with("  ") && gap != std::string::npos) {
            const std::string head = line.substr(2, gap - 2);
            help.options[head.substr(0, head.find(' '))] = {head, Squeezed(line.substr(gap))};
        }
    }
    return help;
}

// Every command `vell --help` lists.
std::vector<std::string> Commands() {
    std::istringstream lines(TestUtil::Vell({"--help"}).out);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("  vell ")) {
            const std::string name = line.substr(7, line.find(' ', 7) - 7);
            if (names.empty() || names.back() != name) {
                names.push_back(name);
            }
        }
    }
    return names;
}

// The usage lines the README's list of commands gives, in backquotes before each " — ".
std::set<std::string> ReadmeUsages() {
    std::istringstream readme(TestUtil::ReadText(std::string(VELL_SOURCE_DIR) + "/README.md"));
    std::vector<std::string> items;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.starts_with("## ")) {
            inside = line.find("`vell`") != std::string::npos;
        } else if (inside && line.starts_with("- ")) {
            items.push_back(line);
        } else if (inside && line.starts_with("  ") && !items.empty()) {
            items.back() += " " + line;
        }
    }
    std::set<std::string> usages;
    for (const std::string& item : items) {
        const std::string lead = item.substr(0, item.find(" — "));
        for (std::size_t open = lead.find('`'); open != std::string::npos;) {
            const std::size_t close = lead.find('`', open + 1);
            usages.insert(Squeezed(lead.substr(open + 1, close - open - 1)));
            open = lead.find('`', close + 1);
        }
    }
    return usages;
}

std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// "(obj, gltf --each)" at the start of an option's text: the commands that take it.
std::vector<std::string> TakenBy(std::string& body) {
    std::vector<std::string> commands;
    if (!body.starts_with("(")) {
        return commands;
    }
    std::istringstream list(body.substr(1, body.find(')') - 1));
    for (std::string item; std::getline(list, item, ',');) {
        commands.push_back(FirstWord(Squeezed(item)));
    }
    body = Squeezed(body.substr(body.find(')') + 1));
    return commands;
}

TEST(CommandDocs, CommandsUsagesAndWhatEachDoes) {
    const auto man = ManSections();
    const std::vector<std::string> commands = Commands();
    ASSERT_FALSE(commands.empty());
    std::set<std::string> manNames;
    std::set<std::string> allUsages;
    for (const Entry& e : man.at("COMMANDS")) {
        manNames.insert(FirstWord(e.head));
    }
    EXPECT_EQ(manNames.erase("help"), 1u);
    EXPECT_EQ(manNames, std::set<std::string>(commands.begin(), commands.end()));
    for (const std::string& name : commands) {
        const Help help = HelpOf(name);
        std::vector<const Entry*> entries;
        for (const Entry& e : man.at("COMMANDS")) {
            if (FirstWord(e.head) == name) {
                entries.push_back(&e);
            }
        }
        ASSERT_FALSE(entries.empty()) << name;
        EXPECT_TRUE(entries[0]->body.starts_with(help.what))
            << name << ": the man page says\n  " << entries[0]->body << "\nvell says\n  "
            << help.what;
        // Each usage line begins with one of the man page's heads, and each head begins one.
        for (const std::string& usage : help.usage) {
            allUsages.insert(usage);
            EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](const Entry* e) {
                return usage.starts_with(e->head);
            })) << usage;
        }
        for (const Entry* e : entries) {
            EXPECT_TRUE(std::any_of(help.usage.begin(), help.usage.end(),
                                    [&](const std::string& u) { return u.starts_with(e->head); }))
                << e->head;
        }
    }
    EXPECT_EQ(ReadmeUsages(), allUsages);
    const Help help = HelpOf("help");
    EXPECT_EQ(help.usage, std::vector<std::string>{"help [COMMAND]"});
    const auto helpEntry = std::find_if(man.at("COMMANDS").begin(), man.at("COMMANDS").end(),
                                        [](const Entry& e) { return e.head == "help [COMMAND]"; });
    ASSERT_NE(helpEntry, man.at("COMMANDS").end());
    EXPECT_TRUE(helpEntry->body.starts_with(help.what)) << helpEntry->body;
}

// Every option a usage names has its line in the help, the same as its man page entry says,
// and the man page lists exactly the commands that take it.
TEST(CommandDocs, OptionsAndWhatEachDoes) {
    Pairs fromHelp;
    std::map<std::string, std::pair<std::string, std::string>> options;
    for (const std::string& name : Commands()) {
        const Help help = HelpOf(name);
        std::string usage;
        for (const std::string& line : help.usage) {
            usage += " " + line;
        }
        for (const auto& [option, text] : help.options) {
            fromHelp.insert({name, option});
            options[option] = text;
            EXPECT_NE(usage.find(option), std::string::npos) << name << " " << option;
        }
        // No option of the usage without its line.
        std::istringstream words(usage);
        for (std::string word; words >> word;) {
            word.erase(0, word.find_first_not_of("[("));
            word = word.substr(0, word.find_first_of("])."));
            if (word.size() > 1 && word[0] == '-') {
                EXPECT_TRUE(help.options.contains(word)) << name << " " << word;
            }
        }
    }
    Pairs fromMan;
    const auto man = ManSections();
    for (Entry e : man.at("OPTIONS")) {
        const std::vector<std::string> commands = TakenBy(e.body);
        const std::string option = FirstWord(e.head);
        if (commands.empty()) {
            continue;  // --help and --version, which every command answers
        }
        for (const std::string& command : commands) {
            fromMan.insert({command, option});
        }
        ASSERT_TRUE(options.contains(option)) << option;
        EXPECT_EQ(e.head, options[option].first);
        EXPECT_TRUE(e.body.starts_with(options[option].second))
            << option << ": the man page says\n  " << e.body << "\nvell says\n  "
            << options[option].second;
    }
    EXPECT_EQ(fromMan, fromHelp);
}

}  // namespace
