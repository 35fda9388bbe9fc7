#pragma once

#include <QString>
#include <QStringList>

// What kd7load-cli's command line asks for, read by Qt's option parser:
//     kd7load-cli [-p PORT]... [--json] FILE.OBJ
//     kd7load-cli --list [--json]
struct CliOptions {
    enum class Action {
        Download,
        List,
        ShowHelp,
        ShowVersion,
        Refuse,
    };

    Action action = Action::Refuse;
    QStringList ports;   // as given after -p, in order
    QString file;
    bool json = false;
    QString text;   // the help, the version, or why the command line is refused

    static CliOptions parse(const QStringList &arguments);
};
