#include "serial/portnumberbox.h"

#include "serial/portdescription.h"

#include <QLineEdit>

PortNumberBox::PortNumberBox(PortMapping mapping, QWidget *parent)
    : QComboBox(parent),
      mapping_(std::move(mapping))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // An editable box would otherwise pick the item matching typed text when
    // editing finishes.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
    disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
}

void PortNumberBox::refreshTooltips()
{
    for (int i = 0; i < count(); ++i) {
        bool isNumber = false;
        const int portNo = itemText(i).toInt(&isNumber);
        if (isNumber)
            setItemData(i, describePort(mapping_, portNo), Qt::ToolTipRole);
    }
}

void PortNumberBox::showPopup()
{
    refreshTooltips();
    QComboBox::showPopup();
}
