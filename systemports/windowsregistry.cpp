#include "systemports/windowsregistry.h"

#include <iterator>
#include <vector>

namespace WindowsRegistry {

QString text(HKEY key, const wchar_t *name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(text.data()), &size)
        != ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(text.data());
}

std::optional<DWORD> number(HKEY key, const wchar_t *name)
{
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size)
            != ERROR_SUCCESS
        || type != REG_DWORD)
        return std::nullopt;
    return value;
}

namespace {

// The names `next` gives for 0, 1, 2, ... until it has no more.
template <typename Next> QStringList names(Next next)
{
    QStringList found;
    wchar_t name[16384];   // the longest name the registry allows
    for (DWORD i = 0;; ++i) {
        DWORD length = DWORD(std::size(name));
        if (next(i, name, &length) != ERROR_SUCCESS)
            return found;
        found << QString::fromWCharArray(name, int(length));
    }
}

}   // namespace

QStringList values(HKEY key)
{
    return names([key](DWORD i, wchar_t *name, DWORD *length) {
        return ::RegEnumValueW(key, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

QStringList subkeys(HKEY key)
{
    return names([key](DWORD i, wchar_t *name, DWORD *length) {
        return ::RegEnumKeyExW(key, i, name, length, nullptr, nullptr, nullptr, nullptr);
    });
}

}   // namespace WindowsRegistry
