#pragma once

#include "app/commondialog.h"

// The open dialog on a Linux desktop: Qt's own. A preset with wildcards
// ("*.OBJ") lists the files it matches, in either case, so prog.obj is
// listed as well as PROG.OBJ.
class QtCommonDialog : public CommonDialog {
public:
    explicit QtCommonDialog(QWidget *owner) : owner_(owner) {}
    void ShowOpen() override;

private:
    QWidget *owner_;
};
