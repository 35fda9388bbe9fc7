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
    int endProgramCalls = 0;
    std::function<void()> onEvents = [] {};
    QString port1;
    QList<SystemPort> ports;   // the system's serial ports, as the port window finds them
    Form1 form{services()};

    Form1Services services()
    {
        Form1Services s;
        s.dialog = &dialog;
        s.line = &line;
        s.clock = &clock;
        s.messageBox = [this](const QString &text) { messages << text; };
        s.endProgram = [this] { ++endProgramCalls; };
        s.processEvents = [this] { onEvents(); };
        s.portMapping = portOneAt([this] { return port1; });
        s.portList = [this] { return ports; };
        return s;
    }
};
