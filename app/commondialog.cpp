#include "app/commondialog.h"

#include <QFileDialog>

void QtCommonDialog::ShowOpen()
{
    QFileDialog dialog(owner_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QString preset = FileName();
    if (preset.contains(QLatin1Char('*')) || preset.contains(QLatin1Char('?'))) {
        dialog.setNameFilter(preset);   // matched without regard to case
        dialog.selectFile(preset);
    } else if (!preset.isEmpty()) {
        dialog.selectFile(preset);
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        setFileName(chosen.first());
}
