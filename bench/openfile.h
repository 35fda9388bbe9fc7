#pragma once

#include "app/commondialog.h"

// The benchmark's file dialog: it "chooses" the file it is told to.
class OpenFile : public CommonDialog {
public:
    QString next;

    void ShowOpen() override { setFileName(next); }
};
