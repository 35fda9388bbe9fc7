#pragma once

#include "app/commondialog.h"

// The open dialog on Windows: the system's own (GetOpenFileNameW), with the
// file name preset and nothing else set that the operator would see: no
// filter, title or start folder. A wildcard in the name box ("*.OBJ") lists
// the files it matches. What the dialog itself remembers, such as the last
// folder, Windows keeps as its own; the tool writes nothing.
class Win32CommonDialog : public CommonDialog {
public:
    explicit Win32CommonDialog(QWidget *owner) : owner_(owner) {}
    void ShowOpen() override;

private:
    QWidget *owner_;
};
