#include "cli/commandline.h"

#include "image/filenamebytes.h"

QStringList commandLineArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromBytes(QByteArray(argv[i]));
    return arguments;
}
