#pragma once

#include <QStringList>

// kd7load-cli's arguments as it was given them. On Linux each keeps its
// bytes, so a file name that is not UTF-8 reaches the file system as it was
// (image/filenamebytes.h); Windows gives its command line in UTF-16.
QStringList commandLineArguments(int argc, char *argv[]);
