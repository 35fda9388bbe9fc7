#include "image/regularfile.h"

#include <QDir>

#include <windows.h>

#include <algorithm>

namespace {

RegularFileRead refused(const QString &why)
{
    RegularFileRead read;
    read.error = why;
    return read;
}

// The two causes an operator meets most in their own words; others by number.
QString systemError()
{
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return QStringLiteral("文件不存在");
    if (error == ERROR_ACCESS_DENIED)
        return QStringLiteral("没有读这个文件的权限");
    return QStringLiteral("Windows 错误 %1").arg(error);
}

// A path as CreateFileW takes it; one longer than MAX_PATH goes in the
// extended form, which has no length limit.
std::wstring nativePath(const QString &path)
{
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(path));
    if (native.size() < MAX_PATH || native.startsWith(QLatin1String("\\\\?\\")))
        return native.toStdWString();
    if (native.startsWith(QLatin1String("\\\\")))
        return (QLatin1String("\\\\?\\UNC\\") + native.mid(2)).toStdWString();
    return (QLatin1String("\\\\?\\") + native).toStdWString();
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}   // namespace

// A folder cannot be opened this way at all; a pipe, a console or a device
// such as COM1 opens at once and is refused by its type.
RegularFileRead readRegularFile(const QString &path, qint64 limit)
{
    const Handle file(::CreateFileW(nativePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        return refused(systemError());
    BY_HANDLE_FILE_INFORMATION information = {};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.get(), &information)
        || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return refused(QStringLiteral("不是普通文件"));
    RegularFileRead read;
    char chunk[64 * 1024];
    while (read.bytes.size() < limit) {
        const DWORD wanted = DWORD(std::min<qint64>(sizeof chunk, limit - read.bytes.size()));
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk, wanted, &got, nullptr))
            return refused(systemError());
        if (got == 0)
            break;
        read.bytes.append(chunk, qsizetype(got));
    }
    read.ok = true;
    return read;
}
