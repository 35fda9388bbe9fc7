// kd7load-cli: the KD7 download from a script, and to many devices at once.
#include "cli/cliprogram.h"
#include "cli/commandline.h"
#include "cli/console.h"
#include "cli/interruptwatch.h"
#include "common/chinesecatalogues.h"

#include <QCoreApplication>

// A download stopped by a signal ends the program by that signal, once
// everything is given back and the application is gone.
int main(int argc, char *argv[])
{
    int status = 0;
    int interruptedBy = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kd7load-cli"));
        QCoreApplication::setApplicationVersion(QStringLiteral(KD7_VERSION));
        installChineseCatalogues(app);   // the option parser's own texts in Chinese
        const std::unique_ptr<Console> console = systemConsole();
        CliProgram cli(*console);
        status = cli.run(commandLineArguments(argc, argv));
        interruptedBy = cli.interruptedBy();
    }
    InterruptWatch::endAsSignalled(interruptedBy);
    return status;
}
