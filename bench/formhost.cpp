#include "formhost.h"
#include "kd7sim/simulatedport.h"

#include "app/form1.h"
#include "kd7sim/simulateddevice.h"
#include "serial/module1.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

FormHost::FormHost(SimulatedDevice &device)
{
    Form1Services services;
    services.dialog = &dialog_;
    services.messageBox = [this](const QString &text) { messages_ << text; };
    services.endProgram = [] {};
    services.portMapping = portOneOn(device);
    form_ = std::make_unique<Form1>(services);
    setShown(true);
}

// Showing posts an expose, the expose an update, the update a paint: each
// round of event processing takes the next step.
void FormHost::setShown(bool shown)
{
    form_->setVisible(shown);
    for (int round = 0; round < kSettleRounds; ++round)
        QCoreApplication::processEvents();
}

FormHost::~FormHost() = default;

int FormHost::load(const QString &path)
{
    dialog_.next = path;
    form_->ui.OPEN->trigger();
    return form_->ui.Label8->text().toInt();
}

QString FormHost::download()
{
    PortNo = 1;
    form_->ui.Command1->click();
    return form_->ui.Label4->text();
}
