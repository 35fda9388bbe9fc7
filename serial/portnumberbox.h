#pragma once

#include "systemports/portmapping.h"
#include "systemports/porttroubles.h"
#include "systemports/systemports.h"

#include <QComboBox>

// The port number box: a drop-down list with an edit field. Only a choice
// from the list changes the list index; text typed into the edit field never
// does. Each time the port window shows and each time the list drops down,
// every item's tooltip names the device that number opens at that moment
// and what stands in its way; the box's own tooltip names the ports that no
// number reaches and the adapters that have no port, if any.
class PortNumberBox : public QComboBox {
    Q_OBJECT

public:
    PortNumberBox(PortMapping mapping, PortList ports, PortTroubles troubles, QWidget *parent = nullptr);

    void showPopup() override;
    void refreshTooltips();

private:
    PortMapping mapping_;
    PortList ports_;
    PortTroubles troubles_;
};
