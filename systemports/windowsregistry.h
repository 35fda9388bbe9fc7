#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include <windows.h>

// Reading Windows' registry, never writing it.
namespace WindowsRegistry {

// A text value; empty when there is none.
QString text(HKEY key, const wchar_t *name);
// A number value; nothing when there is none.
std::optional<DWORD> number(HKEY key, const wchar_t *name);
// The names of a key's values, and of its subkeys.
QStringList values(HKEY key);
QStringList subkeys(HKEY key);

}   // namespace WindowsRegistry
