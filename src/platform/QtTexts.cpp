#include "QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace dorvel::platform {

bool installGermanQtTexts(QCoreApplication &application)
{
    // Owned by the application, so it lives exactly as long as the texts it
    // translates; a second application object (a new scale factor) gets its own.
    auto *translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace dorvel::platform
