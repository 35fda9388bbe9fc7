#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Where kd7load-cli writes: results on standard output, progress and
// diagnostics on standard error. The system's console writes text so that
// it reads right wherever it goes (a terminal, a Windows console of any code
// page, a file or a pipe); tests keep what is written instead.
class Console {
public:
    virtual ~Console() = default;

    // Standard output: the summary, the port list, help and version.
    virtual void print(const QString &text) = 0;
    // Standard error: why something was refused.
    virtual void complain(const QString &text) = 0;
    // Whether standard error is a terminal, where progress is redrawn in place.
    virtual bool showsProgress() const = 0;
    // Replaces the progress lines drawn last on standard error with `lines`,
    // in place; with none, erases them.
    virtual void redraw(const QStringList &lines) = 0;
};

// Standard output and standard error of this process.
std::unique_ptr<Console> systemConsole();
