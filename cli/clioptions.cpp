#include "cli/clioptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const QString kExitStatuses = QStringLiteral(
    "\n退出状态:\n"
    "  0    每个串口都收下了整个程序\n"
    "  1    有串口没有收下整个程序 (打不开, 设备没有应答, 线路断了, 结束标志没有发出去)\n"
    "  2    命令行或文件不对: 什么也没有发送\n"
    "  130  被 Ctrl+C 中断 (Linux 上 SIGTERM 是 143, SIGHUP 是 129): 每个下载都在两帧之间停下, "
    "串口照原样还回\n");

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("把用户程序 (.OBJ 文件) 下载到 KD7 设备, 和窗口程序 kd7load 的下载一样; "
                       "给几个串口就同时下载到几个设备.\n"
                       "结果在标准输出, 每个串口一行; 进度在标准错误 (只在终端上显示)."));
    parser.addOptions({
        {{"p", "port"},
         QStringLiteral(
             "串口: 串口号 (和窗口的编号一样, 1 是系统的第一个串口) 或设备名 (/dev/ttyUSB0, COM7). "
             "可以给多次. 不给就是串口 1."),
         QStringLiteral("PORT")},
        {{"l", "list"}, QStringLiteral("列出系统的串口, 各自的串口号, 是什么设备, 为什么不能用.")},
        {"json", QStringLiteral("结果不用文字, 每个串口输出一个 JSON 对象, 一行一个 (给脚本用).")},
        {{"h", "help"}, QStringLiteral("显示这个帮助.")},
        {"version", QStringLiteral("显示版本.")},
    });
    parser.addPositionalArgument(QStringLiteral("FILE.OBJ"), QStringLiteral("要下载的用户程序."));
}

CliOptions refused(const QString &why)
{
    CliOptions options;
    options.text = QStringLiteral("kd7load-cli: %1\n用 kd7load-cli --help 看用法.\n").arg(why);
    return options;
}

}   // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments))
        return refused(parser.errorText());
    CliOptions options;
    if (parser.isSet(QStringLiteral("help"))) {
        options.action = Action::ShowHelp;
        options.text = parser.helpText() + kExitStatuses;
        return options;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        options.action = Action::ShowVersion;
        options.text = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion());
        return options;
    }
    const QStringList files = parser.positionalArguments();
    options.json = parser.isSet(QStringLiteral("json"));
    options.ports = parser.values(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("list"))) {
        if (!files.isEmpty() || !options.ports.isEmpty())
            return refused(QStringLiteral("--list 不带文件, 也不带 -p"));
        options.action = Action::List;
        return options;
    }
    if (files.size() != 1)
        return refused(files.isEmpty() ? QStringLiteral("没有给要下载的 .OBJ 文件")
                                       : QStringLiteral("只能给一个 .OBJ 文件"));
    options.action = Action::Download;
    options.file = files.constFirst();
    return options;
}
