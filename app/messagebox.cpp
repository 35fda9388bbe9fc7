#include "app/messagebox.h"

#include <QMessageBox>

void showMessageBox(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KD7"), text, QMessageBox::Ok, owner);
    box.exec();
}
