#pragma once

#include "serial/portmapping.h"

#include <QComboBox>

// The port number box: a drop-down list with an edit field. Only a choice
// from the list changes the list index; text typed into the edit field never
// does. Each time the list drops down, every item's tooltip names the device
// that number opens at that moment.
class PortNumberBox : public QComboBox {
    Q_OBJECT

public:
    explicit PortNumberBox(PortMapping mapping, QWidget *parent = nullptr);

    void showPopup() override;
    void refreshTooltips();

private:
    PortMapping mapping_;
};
