#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>
#include <memory>

#include "CrashDump.h"

// The compiled texts are resources of this static library: their registration must be asked
// for by name.
static void InitTranslationResources() {
    Q_INIT_RESOURCE(vell_translations);
}

namespace App {

namespace {

constexpr const char* kLanguageKey = "language";
constexpr const char* kChineseCode = "zh_CN";
constexpr const char* kEnglishCode = "en";

struct Translators {
    std::unique_ptr<QTranslator> program;  // our texts, for English
    std::unique_ptr<QTranslator> qt;       // Qt's own, for Chinese
    Language language = Language::Chinese;
};

Translators& Installed() {
    static Translators translators;
    return translators;
}

std::unique_ptr<QTranslator> Load(const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, folder)) {
        return nullptr;
    }
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

}  // namespace

const char* LanguageCode(Language language) {
    return language == Language::English ? kEnglishCode : kChineseCode;
}

Language LanguageFromCode(const QString& code) {
    return code == QLatin1String(kEnglishCode) ? Language::English : Language::Chinese;
}

Language RememberedLanguage() {
    return LanguageFromCode(QSettings().value(QLatin1String(kLanguageKey)).toString());
}

Language CurrentLanguage() {
    return Installed().language;
}

void InstallTranslations(Language language) {
    InitTranslationResources();
    Translators& t = Installed();
    // Removing a translator tells every widget too; the new ones go in before the widgets
    // ask again, as the events are posted.
    for (std::unique_ptr<QTranslator>* old : {&t.program, &t.qt}) {
        if (*old) {
            QCoreApplication::removeTranslator(old->get());
            old->reset();
        }
    }
    if (language == Language::English) {
        // Qt's own texts are English already.
        t.program = Load(QStringLiteral("vell_en"), QStringLiteral(":/i18n"));
    } else {
        t.qt = Load(QStringLiteral("qtbase_zh_CN"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    t.language = language;
}

void UseLanguage(Language language) {
    InstallTranslations(language);
    QSettings().setValue(QLatin1String(kLanguageKey), QLatin1String(LanguageCode(language)));
    SetCrashPromptLanguage(language);
}

}  // namespace App
