#include "app/win32commondialog.h"

#include <QGuiApplication>
#include <QWidget>

#include <windows.h>
// after windows.h, which it builds on
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

// Room for the longest path Windows takes.
constexpr size_t kPathChars = 32768;

// The main window's own window, when it is one: the dialog stays above it and
// keeps it from taking commands meanwhile. Off the Windows platform (the
// offscreen one of the tests) there is none, and the dialog stands alone.
HWND ownerWindow(QWidget *owner)
{
    if (!owner || QGuiApplication::platformName() != QLatin1String("windows"))
        return nullptr;
    const HWND window = reinterpret_cast<HWND>(owner->window()->winId());
    return ::IsWindow(window) ? window : nullptr;
}

}   // namespace

void Win32CommonDialog::ShowOpen()
{
    std::vector<wchar_t> name(kPathChars, L'\0');
    const std::wstring preset = FileName().left(int(kPathChars) - 1).toStdWString();
    std::copy(preset.begin(), preset.end(), name.begin());

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ownerWindow(owner_);
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = DWORD(name.size());
    // Not in Windows' recent documents. The current folder stays where it
    // was, so a folder on a USB stick is not held open (and the stick can be
    // removed safely) once the file is read.
    dialog.Flags = OFN_EXPLORER | OFN_DONTADDTORECENT | OFN_NOCHANGEDIR;
    if (::GetOpenFileNameW(&dialog))
        setFileName(QString::fromWCharArray(name.data()));
}

std::unique_ptr<CommonDialog> makeSystemCommonDialog(QWidget *owner)
{
    return std::make_unique<Win32CommonDialog>(owner);
}
