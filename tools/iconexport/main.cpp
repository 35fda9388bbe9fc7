// Writes the tool's icon as a PNG of the size asked for, for installing in
// the desktop's icon theme.
#include "app/deviceicon.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kd7iconexport SIZE OUTPUT.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int size = QByteArray(argv[1]).toInt();
    if (size <= 0 || !DeviceIcon::picture(size).save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "kd7iconexport: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
