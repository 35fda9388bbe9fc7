#include "image/regularfile.h"

#include "image/filenamebytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

RegularFileRead refused(const QString &why)
{
    RegularFileRead read;
    read.error = why;
    return read;
}

// The two causes an operator meets most in their own words; others in the system's.
QString systemError()
{
    if (errno == ENOENT)
        return QStringLiteral("文件不存在");
    if (errno == EACCES)
        return QStringLiteral("没有读这个文件的权限");
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool isRegular(int fd)
{
    struct stat status = {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

const QString kNotAFile = QStringLiteral("不是普通文件");

// Opens the file for reading only once it is known to be a regular file. On
// Linux the name is first resolved without opening anything (O_PATH), so a
// device behind it is never opened at all (opening a serial port raises its
// modem lines, say); the file checked is then opened through that very
// descriptor. Elsewhere, or without /proc, the open itself cannot wait
// (O_NONBLOCK: a pipe with no writer) and takes no terminal (O_NOCTTY).
int openRegular(const QByteArray &path, QString &error)
{
    constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
#ifdef O_PATH
    const Descriptor named(::open(path.constData(), O_PATH | O_CLOEXEC));
    if (named.get() < 0) {
        error = systemError();
        return -1;
    }
    if (!isRegular(named.get())) {
        error = kNotAFile;
        return -1;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(named.get());
    const int opened = ::open(self.constData(), kReadFlags);
    if (opened >= 0 || errno != ENOENT) {
        if (opened < 0)
            error = systemError();
        return opened;
    }
#endif
    const int fd = ::open(path.constData(), kReadFlags);
    if (fd < 0) {
        error = systemError();
        return -1;
    }
    if (!isRegular(fd)) {
        ::close(fd);
        error = kNotAFile;
        return -1;
    }
    return fd;
}

}   // namespace

RegularFileRead readRegularFile(const QString &path, qint64 limit)
{
    QString error;
    const Descriptor file(openRegular(fileNameBytes(path), error));
    if (file.get() < 0)
        return refused(error);
    RegularFileRead read;
    char chunk[64 * 1024];
    while (read.bytes.size() < limit) {
        const size_t wanted = size_t(std::min<qint64>(sizeof chunk, limit - read.bytes.size()));
        const ssize_t got = ::read(file.get(), chunk, wanted);
        if (got == 0)
            break;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return refused(systemError());
        read.bytes.append(chunk, qsizetype(got));
    }
    read.ok = true;
    return read;
}
