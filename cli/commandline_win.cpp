#include "cli/commandline.h"

#include <QCoreApplication>

QStringList commandLineArguments(int, char *[]) { return QCoreApplication::arguments(); }
