#pragma once

#include "systemports/portmapping.h"
#include "systemports/porttroubles.h"
#include "systemports/systemports.h"

#include <QWidget>

class PortNumberBox;
class QComboBox;
class QLabel;
class QPushButton;

// The port selection window: the operator picks port 1-4 and confirms.
// It is created once and afterwards only hidden, so its list and choice
// last for the whole run.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(PortMapping mapping = systemPortFor, PortList ports = systemPorts,
                   PortTroubles troubles = systemPortTroubles(), QWidget *parent = nullptr);

    // The port number box is element 1 of the control array COMBO1.
    QComboBox *COMBO1(int index) const;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setupUi();

    PortNumberBox *combo1_ = nullptr;
};
