#include "common/chinesecatalogues.h"

#include <QCoreApplication>
#include <QTranslator>

// The catalogues are built into the core library; naming them here keeps
// the linker from leaving them out of the program.
static void includeCatalogues() { Q_INIT_RESOURCE(catalogues); }

bool installChineseCatalogues(QCoreApplication &app)
{
    includeCatalogues();
    bool baseLoaded = false;
    for (const char *name : {"qtbase_zh_CN", "qtserialport_zh_CN"}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QString::fromLatin1(name), QStringLiteral(":/i18n"))) {
            QCoreApplication::installTranslator(translator);
            baseLoaded = baseLoaded || QLatin1String(name) == QLatin1String("qtbase_zh_CN");
        } else {
            delete translator;
        }
    }
    return baseLoaded;
}
