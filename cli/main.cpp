// kd7load-cli: the KD7 download from a script, and to many devices at once.
#include "cli/cliprogram.h"
#include "cli/console.h"
#include "common/chinesecatalogues.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kd7load-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KD7_VERSION));
    installChineseCatalogues(app);   // the option parser's own texts in Chinese
    const std::unique_ptr<Console> console = systemConsole();
    return CliProgram(*console).run(QCoreApplication::arguments());
}
