#pragma once

#include <QString>

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

// The open dialog on the desktop. A preset with wildcards ("*.OBJ") lists the
// files it matches, in either case, so prog.obj is listed as well as PROG.OBJ.
class QtCommonDialog : public CommonDialog {
public:
    explicit QtCommonDialog(QWidget *owner) : owner_(owner) {}
    void ShowOpen() override;

private:
    QWidget *owner_;
};
