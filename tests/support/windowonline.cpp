#include "tests/support/windowonline.h"
#include "kd7sim/simulatedport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>

WindowOnLine::WindowOnLine(const SimulatedDevice::FaultConfig &faults, double clockFactor)
    : device(faults),
      clock(clockFactor)
{
    device.start();
    Form1Services services;
    services.dialog = &dialog;
    services.clock = &clock;
    services.messageBox = [this](const QString &text) { messages << text; };
    services.endProgram = [] {};
    services.portMapping = portOneOn(device);
    form = std::make_unique<Form1>(services);
}

void WindowOnLine::loadText(const QByteArray &text)
{
    QFile file(dir.filePath(QStringLiteral("PROG.OBJ")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    file.close();
    dialog.next = file.fileName();
    form->ui.OPEN->trigger();
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
