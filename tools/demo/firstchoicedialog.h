#pragma once

#include "app/qtcommondialog.h"

// The demo's file dialog: its first showing picks the sample program at
// once; every later one is the ordinary open dialog.
class FirstChoiceDialog : public CommonDialog {
public:
    FirstChoiceDialog(QWidget *owner, QString firstChoice)
        : desktop_(owner),
          firstChoice_(std::move(firstChoice))
    {}

    void ShowOpen() override;

private:
    QtCommonDialog desktop_;
    QString firstChoice_;
};
