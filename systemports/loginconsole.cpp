#include "systemports/loginconsole.h"

#include "systemports/kernelreport.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// The device number as a process's stat line gives its controlling terminal
// (tty_nr): the minor's low byte, the major above it, the minor's higher
// bits from bit 20. Read from the device file, or where that is no device
// (a copy of the system's tree), from the tty's "MAJOR:MINOR" in sysfs; 0
// when unknown.
quint32 terminalNumber(const QString &device, const QString &sysfsRoot, const QString &ttyName)
{
    struct stat status = {};
    quint32 major = 0;
    quint32 minor = 0;
    if (::stat(QFile::encodeName(device).constData(), &status) == 0 && S_ISCHR(status.st_mode)) {
        major = ::major(status.st_rdev);
        minor = ::minor(status.st_rdev);
    } else {
        const QStringList numbers
            = kernelReportLine(sysfsRoot + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/dev"))
                  .split(QLatin1Char(':'));
        if (numbers.size() != 2)
            return 0;
        major = numbers.at(0).toUInt();
        minor = numbers.at(1).toUInt();
    }
    return (minor & 0xff) | (major << 8) | ((minor & ~0xffu) << 12);
}

}   // namespace

QString loginConsoleTrouble(const QString &location, const QString &device, const QString &sysfsRoot,
                            const ProcessTable &processes)
{
    const QString ttyName = QFileInfo(QFileInfo(device).canonicalFilePath()).fileName();
    const QList<PortHolder> onIt = processes.onTerminal(terminalNumber(device, sysfsRoot, ttyName));
    if (onIt.isEmpty())
        return {};
    return QStringLiteral("%1 是登录终端, 正被 %2 使用: 执行 sudo systemctl disable --now "
                          "serial-getty@%3.service, 关掉这个串口上的登录.")
        .arg(location, onIt.first().named(), ttyName);
}
