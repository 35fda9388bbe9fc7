#include "app/messagebox.h"

#include <QMessageBox>

void showMessageBox(QWidget *owner, const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KD7"), text, QMessageBox::Ok, owner);
    box.setInformativeText(detail);
    box.exec();
}
