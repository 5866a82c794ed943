// The language of the viewer's texts. The sources are written in Chinese, which is what the
// program shows unless English was chosen (设置 / 语言); the choice is remembered between
// runs, and nothing is taken from the locale.
#pragma once

#include <QString>

namespace App {

enum class Language { Chinese, English };

// The remembered choice; Chinese when none was made or the setting is unreadable.
Language RememberedLanguage();

// Installs the texts of `language` for the program and for Qt's own dialogs and buttons, and
// remembers the choice. Every widget then gets a LanguageChange event and retranslates.
// Needs the application object.
void UseLanguage(Language language);
Language CurrentLanguage();

// The code the crash prompt is told ("zh_CN", "en") and back; unknown codes are Chinese.
const char* LanguageCode(Language language);
Language LanguageFromCode(const QString& code);

// Installs the texts of `language` without remembering it (the crash prompt's own process).
void InstallTranslations(Language language);

}  // namespace App
