#pragma once

#include "app/form1.h"
#include "tests/support/chosenfile.h"
#include "tests/support/scriptedline.h"

#include <QStringList>

#include <functional>

// The main window on a scripted device and a fake clock: message boxes are
// captured, ending the program is counted, the test may act whenever the
// download lets window events run, port 1 opens whatever `port1` names, and the system has the `ports`
// listed.
struct WindowOnFakes {
    FakeClock clock;
    ScriptedLine line{clock, Devices::answersEverything()};
    ChosenFile dialog;
    QStringList messages;
    QStringList details;   // the line below each message's text
    int endProgramCalls = 0;
    std::function<void()> onEvents = [] {};
    QString port1;
    QList<SystemPort> ports;            // the system's serial ports, as the port window finds them
    QHash<QString, QString> troubles;   // what stands in the way of a port, by location
    QStringList stranded;               // adapters plugged in without a port
    Form1 form{services()};

    Form1Services services()
    {
        Form1Services s;
        s.dialog = &dialog;
        s.line = &line;
        s.clock = &clock;
        s.messageBox = [this](const QString &text, const QString &detail) {
            messages << text;
            details << detail;
        };
        s.endProgram = [this] { ++endProgramCalls; };
        s.processEvents = [this] { onEvents(); };
        s.portMapping = portOneAt([this] { return port1; });
        s.portList = [this] { return ports; };
        s.portTroubles.at = [this](const QString &location) { return troubles.value(location); };
        s.portTroubles.adaptersWithoutPort = [this] { return stranded; };
        return s;
    }
};
