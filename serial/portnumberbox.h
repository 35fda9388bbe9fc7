#pragma once

#include "serial/portmapping.h"
#include "serial/systemports.h"

#include <QComboBox>

// The port number box: a drop-down list with an edit field. Only a choice
// from the list changes the list index; text typed into the edit field never
// does. Each time the port window shows and each time the list drops down,
// every item's tooltip names the device that number opens at that moment;
// the box's own tooltip names the ports that no number reaches, if any.
class PortNumberBox : public QComboBox {
    Q_OBJECT

public:
    PortNumberBox(PortMapping mapping, PortList ports, QWidget *parent = nullptr);

    void showPopup() override;
    void refreshTooltips();

private:
    PortMapping mapping_;
    PortList ports_;
};
