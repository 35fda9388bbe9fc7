#include "clichild.h"

#include "stopwatch.h"

#include <QFile>
#include <QTemporaryFile>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(20);

double seconds(const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

// Standard output to `output`, standard error to nowhere: off a terminal the
// program shows no progress, as under a script.
pid_t spawn(const QString &program, const QStringList &arguments, const QString &output)
{
    std::vector<QByteArray> texts{program.toLocal8Bit()};
    for (const QString &argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.toLocal8Bit().constData(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}   // namespace

CliChild CliChild::run(const QString &program, const QStringList &arguments, double limit)
{
    CliChild child;
    QTemporaryFile output;
    if (!output.open())
        return child;
    const Stopwatch watch;
    const pid_t pid = spawn(program, arguments, output.fileName());
    if (pid < 0)
        return child;
    int status = 0;
    rusage usage = {};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (watch.elapsed().wall > limit) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            return child;
        }
        std::this_thread::sleep_for(kLookEvery);
    }
    child.wall = watch.elapsed().wall;
    child.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    child.output = QString::fromUtf8(output.readAll());
    return child;
}
