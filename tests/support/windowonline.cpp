#include "tests/support/windowonline.h"
#include "kd7sim/simulatedport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>

namespace {

std::unique_ptr<Form1> windowOn(WindowOnLine &w)
{
    Form1Services services;
    services.dialog = &w.dialog;
    services.clock = &w.clock;
    services.messageBox = [&w](const QString &text, const QString &) { w.messages << text; };
    services.endProgram = [] {};
    services.portMapping = portOneOn(w.device);
    return std::make_unique<Form1>(services);
}

}   // namespace

WindowOnLine::WindowOnLine(const SimulatedDevice::FaultConfig &faults, double clockFactor)
    : ownDevice(std::in_place, faults),
      device(*ownDevice),
      clock(clockFactor)
{
    device.start();
    form = windowOn(*this);
}

WindowOnLine::WindowOnLine(SimulatedDevice &line, double clockFactor)
    : device(line),
      clock(clockFactor),
      form(windowOn(*this))
{}

void WindowOnLine::open(const QString &path)
{
    dialog.next = path;
    form->ui.OPEN->trigger();
}

void WindowOnLine::loadText(const QByteArray &text)
{
    QFile file(dir.filePath(QStringLiteral("PROG.OBJ")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    file.close();
    open(file.fileName());
}

void WindowOnLine::load(const std::vector<quint16> &words)
{
    QByteArray text;
    for (const quint16 w : words)
        text += QByteArray::number(w) + "\r\n";
    loadText(text);
}

QString WindowOnLine::download()
{
    form->ui.Command1->click();
    return form->ui.Label4->text();
}

QByteArray WindowOnLine::receivedSince(qsizetype offset) const
{
    return QByteArray::fromStdString(device.transcript()).mid(offset);
}

bool WindowOnLine::portReleased() const
{
    if (form->MSComm1().PortOpen())
        return false;
    QSerialPort probe(QString::fromStdString(device.devicePath()));
    const bool opened = probe.open(QIODevice::ReadWrite);
    probe.close();
    return opened;
}

std::vector<std::uint16_t> withExtraFrame(const std::vector<quint16> &words)
{
    std::vector<std::uint16_t> sent(words.begin(), words.end());
    sent.push_back(0);
    return sent;
}
