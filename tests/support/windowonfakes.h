#pragma once

#include "app/form1.h"
#include "tests/support/chosenfile.h"
#include "tests/support/scriptedline.h"

#include <QStringList>

#include <functional>

// The main window on a scripted device and a fake clock: message boxes are
// captured, ending the program is counted, the test may act whenever the
// download lets window events run, and port 1 opens whatever `port1` names.
struct WindowOnFakes {
    FakeClock clock;
    ScriptedLine line{clock, Devices::answersEverything()};
    ChosenFile dialog;
    QStringList messages;
    int endProgramCalls = 0;
    std::function<void()> onEvents = [] {};
    QString port1;
    Form1 form{Form1Services{&dialog, &line, &clock, [this](const QString &text) { messages << text; },
                             [this] { ++endProgramCalls; }, [this] { onEvents(); },
                             [this](int n) { return n == 1 ? port1 : QString(); }}};
};
