#include "cli/console.h"

#include "cli/screenrows.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const QByteArray &bytes)
{
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;   // a closed pipe or a full disk: what is left is lost, the download goes on
        next += written;
        left -= written;
    }
}

// A terminal that understands cursor movement: not a dumb one.
bool isCapableTerminal(int fd)
{
    const char *term = std::getenv("TERM");
    return ::isatty(fd) == 1 && term && std::strcmp(term, "dumb") != 0;
}

// The terminal's width now; 0 when it does not say.
int terminalColumns(int fd)
{
    winsize size = {};
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// UTF-8, as every terminal of this system's users takes it; progress is
// redrawn with the cursor movements of VT100 terminals. The lines drawn last
// are measured again at each redraw, at the width the terminal has then, as
// the terminals that rewrap their lines when resized (most do) show them.
class TerminalConsole : public Console {
public:
    void print(const QString &text) override { writeAll(STDOUT_FILENO, text.toUtf8()); }
    void complain(const QString &text) override { writeAll(STDERR_FILENO, text.toUtf8()); }
    bool showsProgress() const override { return progress_; }

    void redraw(const QStringList &lines) override
    {
        QByteArray out;
        const int rows = screenRows(drawn_, terminalColumns(STDERR_FILENO), false);
        if (rows > 0)   // to the start of the first row drawn, and erase to the end of the screen
            out += "\r\033[" + QByteArray::number(rows) + "A\033[J";
        for (const QString &line : lines)
            out += line.toUtf8() + '\n';
        drawn_ = lines;
        writeAll(STDERR_FILENO, out);
    }

private:
    bool progress_ = isCapableTerminal(STDERR_FILENO);
    QStringList drawn_;
};

}   // namespace

std::unique_ptr<Console> systemConsole() { return std::make_unique<TerminalConsole>(); }
