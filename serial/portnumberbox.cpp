#include "serial/portnumberbox.h"

#include "systemports/portdescription.h"

#include <QLineEdit>

namespace {
constexpr int kNumbers = 4;   // the list "1" to "4"
}

PortNumberBox::PortNumberBox(PortMapping mapping, PortList ports, PortTroubles troubles, QWidget *parent)
    : QComboBox(parent),
      mapping_(std::move(mapping)),
      ports_(std::move(ports)),
      troubles_(std::move(troubles))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // An editable box would otherwise pick the item matching typed text when
    // editing finishes.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
}

// One look at the system serves every tooltip: what each number opens, and
// what stands in the way of each port.
void PortNumberBox::refreshTooltips()
{
    PortSurvey survey;
    for (int portNo = 1; portNo <= kNumbers; ++portNo)
        survey.reached << (mapping_ ? mapping_(portNo) : QString());
    if (ports_)
        survey.ports = ports_();
    QStringList locations = survey.reached;
    for (const SystemPort &port : survey.ports)
        locations << port.location;
    locations.removeAll(QString());
    locations.removeDuplicates();
    const TroubleSurvey found = troubles_.surveyed(locations);
    survey.troubles = found.at;
    survey.stranded = found.stranded;
    setToolTip(survey.outOfReach());
    for (int i = 0; i < count(); ++i) {
        bool isNumber = false;
        const int portNo = itemText(i).toInt(&isNumber);
        if (isNumber && portNo >= 1 && portNo <= kNumbers)
            setItemData(i, survey.describePort(portNo), Qt::ToolTipRole);
    }
}

void PortNumberBox::showPopup()
{
    refreshTooltips();
    QComboBox::showPopup();
}
