#pragma once

#include <QString>

#include <memory>

class QWidget;

// The file dialog control: a preset file name, a blocking show, and the
// chosen full path read back. Cancelling leaves the preset unchanged.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    QString FileName() const { return fileName_; }
    void setFileName(const QString &name) { fileName_ = name; }

    virtual void ShowOpen() = 0;

private:
    QString fileName_;
};

// This system's own open dialog, shown over `owner`. It keeps no settings of
// the tool's anywhere.
std::unique_ptr<CommonDialog> makeSystemCommonDialog(QWidget *owner);
