#include "app/qtcommondialog.h"

#include <QFileDialog>
#include <QSettings>

namespace {

// The tool keeps no settings between runs, but Qt's file dialog stores its
// history, view mode and sidebar in the user's settings whenever it closes.
// The user's settings are sent where no file can be made (below a device
// file), so the dialog reads none and nothing is written.
void keepNoSettings()
{
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

}   // namespace

void QtCommonDialog::ShowOpen()
{
    keepNoSettings();
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

std::unique_ptr<CommonDialog> makeSystemCommonDialog(QWidget *owner)
{
    return std::make_unique<QtCommonDialog>(owner);
}
