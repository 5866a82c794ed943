// The manual page of the viewer against the tables the program reads: every key and mouse
// action of the view (ViewKeys) and every accelerator of the window (CommandTable) has an
// entry, and every entry is one of them, so the page can't drift from the program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeySequence>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CommandTable.h"
#include "Language.h"
#include "ViewKeys.h"

namespace {

// The sections of the page that list keys and mouse actions.
const std::set<std::string> kKeySections = {"MOUSE AND KEYS IN THE VIEW",
                                            "KEYS OF THE MAIN WINDOW"};

// The page spells out what Qt's key names shorten.
const std::map<std::string, std::string> kSpelledOut = {
    {"Page Up", "PgUp"}, {"Page Down", "PgDown"}, {"Escape", "Esc"}};

// A macro line's arguments run together: `.BR Home " / " End` is "Home / End".
std::string Words(const std::string& line) {
    std::string text;
    bool quoted = false;
    for (std::size_t i = line.find(' ') + 1; i > 0 && i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c != ' ' || quoted) {
            text += c == '\\' ? '\0' : c;  // \- and the like: the escape goes
        }
    }
    std::erase(text, '\0');
    return text;
}

// The tags of the key sections (the line after each .TP), each cut at " / " into names.
std::set<std::string> ManualKeys() {
    std::ifstream page(VELL_SOURCE_DIR "/packaging/VellModelBrowser.1");
    std::set<std::string> names;
    std::string line;
    bool inKeys = false;
    bool tagNext = false;
    while (std::getline(page, line)) {
        if (line.starts_with(".SH ")) {
            inKeys = kKeySections.count(line.substr(4)) > 0;
        } else if (inKeys && line == ".TP") {
            tagNext = true;
        } else if (tagNext) {
            tagNext = false;
            // Words drops the spaces around the quoted " / ": the slash alone divides.
            std::stringstream tag(line.starts_with(".BR") ? Words(line) : line.substr(3));
            for (std::string name; std::getline(tag, name, '/');) {
                while (!name.empty() && name.back() == ' ') {
                    name.pop_back();
                }
                while (!name.empty() && name.front() == ' ') {
                    name.erase(0, 1);
                }
                const auto spelled = kSpelledOut.find(name);
                names.insert(spelled != kSpelledOut.end() ? spelled->second : name);
            }
        }
    }
    return names;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

std::string KeyName(const QString& sequence) {
    return QKeySequence(sequence).toString(QKeySequence::PortableText).toStdString();
}

// What the program answers: view keys by Qt's names, mouse actions by their English text in
// lower case, accelerators as written in the command table.
std::set<std::string> ProgramKeys() {
    std::set<std::string> keys;
    App::InstallTranslations(App::Language::English);
    for (const App::ViewKeyInfo& key : App::ViewKeys()) {
        keys.insert(
            key.qtKey != 0
                ? QKeySequence(key.qtKey).toString(QKeySequence::PortableText).toStdString()
                : Lower(QCoreApplication::translate("ViewKeys", key.keyText).toStdString()));
    }
    App::InstallTranslations(App::Language::Chinese);
    for (const App::CommandInfo& command : App::Commands()) {
        if (command.shortcut) {
            keys.insert(KeyName(QString::fromLatin1(command.shortcut)));
        }
    }
    return keys;
}

TEST(Manual, ListsEveryKeyAndMouseActionOfTheProgram) {
    std::set<std::string> manual;
    for (const std::string& name : ManualKeys()) {
        // Mouse actions are sentences on the page: compared in lower case.
        manual.insert(name.find(' ') != std::string::npos ? Lower(name) : name);
    }
    ASSERT_GT(manual.size(), 20u);  // the page was found and read
    const std::set<std::string> program = ProgramKeys();
    for (const std::string& key : program) {
        EXPECT_TRUE(manual.count(key)) << "VellModelBrowser.1 lacks " << key;
    }
    for (const std::string& key : manual) {
        EXPECT_TRUE(program.count(key))
            << "VellModelBrowser.1 lists " << key << ", which the program doesn't answer";
    }
}

}  // namespace
