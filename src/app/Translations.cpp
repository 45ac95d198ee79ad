#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Translations {

namespace {

bool installOne(const QString &name, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // No file at all for a language, say English, is no failure: nothing to translate.
    if (translator->load(QLocale(), name, QStringLiteral("_"), folder) && QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

}

bool install()
{
    installOne(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return installOne(QStringLiteral("veltrane"), QStringLiteral(":/i18n"));
}

}
