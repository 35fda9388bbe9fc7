#include "cli/console.h"

#include "cli/screenrows.h"

#include <windows.h>

#include <algorithm>

namespace {

// Text for a file or a pipe, in the code page that programs reading a
// console program's output decode it with by default (PowerShell 5.1,
// Python, findstr): the console's output code page (936 on a Chinese
// Windows, 65001 after chcp 65001), or the system's ANSI one without a
// console. UTF-8 where the code page is unusable.
QByteArray inOutputCodePage(const QString &text)
{
    const UINT console = ::GetConsoleOutputCP();
    const UINT codePage = console != 0 ? console : ::GetACP();
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size = ::WideCharToMultiByte(codePage, 0, wide, int(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return text.toUtf8();
    QByteArray bytes(size, Qt::Uninitialized);
    ::WideCharToMultiByte(codePage, 0, wide, int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// One of the standard handles: a console, written in UTF-16 so that any
// code page shows the Chinese right, or a file or pipe, written in the
// output code page with Windows' line ends.
class StandardHandle {
public:
    explicit StandardHandle(DWORD which) : handle_(::GetStdHandle(which))
    {
        DWORD mode = 0;
        console_ = usable() && ::GetConsoleMode(handle_, &mode);
    }

    bool isConsole() const { return console_; }
    HANDLE handle() const { return handle_; }

    void write(const QString &text) const
    {
        if (!usable())
            return;
        if (console_) {
            writeConsole(text);
            return;
        }
        const QByteArray bytes
            = inOutputCodePage(QString(text).replace(QLatin1Char('\n'), QLatin1String("\r\n")));
        for (qsizetype done = 0; done < bytes.size();) {
            DWORD written = 0;
            if (!::WriteFile(handle_, bytes.constData() + done, DWORD(bytes.size() - done), &written, nullptr)
                || written == 0)
                return;   // a closed pipe: what is left is lost, the download goes on
            done += written;
        }
    }

private:
    bool usable() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

    // In pieces: old consoles refuse one large write.
    void writeConsole(const QString &text) const
    {
        constexpr int kPiece = 4096;
        for (int at = 0; at < text.size(); at += kPiece) {
            const int length = std::min(kPiece, int(text.size()) - at);
            DWORD written = 0;
            if (!::WriteConsoleW(handle_, text.utf16() + at, DWORD(length), &written, nullptr))
                return;
        }
    }

    HANDLE handle_;
    bool console_ = false;
};

// Progress is redrawn with the console's own calls, which every Windows from
// 7 on has (Windows 7's console knows no escape sequences). The block is
// found again from where the cursor stands after it, so a console that
// scrolled meanwhile loses nothing: as many rows up as its lines take at the
// buffer's width, where the console wraps them.
class WindowsConsole : public Console {
public:
    void print(const QString &text) override { out_.write(text); }
    void complain(const QString &text) override { err_.write(text); }
    bool showsProgress() const override { return err_.isConsole(); }

    void redraw(const QStringList &lines) override
    {
        if (!err_.isConsole())
            return;
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        if (!drawn_.isEmpty() && ::GetConsoleScreenBufferInfo(err_.handle(), &info)) {
            const int rows = screenRows(drawn_, info.dwSize.X, true);
            const COORD top = {0, SHORT(std::max(0, info.dwCursorPosition.Y - rows))};
            const DWORD cells = DWORD(info.dwCursorPosition.Y - top.Y + 1) * DWORD(info.dwSize.X);
            DWORD filled = 0;
            ::FillConsoleOutputCharacterW(err_.handle(), L' ', cells, top, &filled);
            ::SetConsoleCursorPosition(err_.handle(), top);
        }
        for (const QString &line : lines)
            err_.write(line + QLatin1Char('\n'));
        drawn_ = lines;
    }

private:
    StandardHandle out_{STD_OUTPUT_HANDLE};
    StandardHandle err_{STD_ERROR_HANDLE};
    QStringList drawn_;
};

}   // namespace

std::unique_ptr<Console> systemConsole() { return std::make_unique<WindowsConsole>(); }
