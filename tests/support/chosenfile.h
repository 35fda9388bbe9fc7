#pragma once

#include "app/commondialog.h"

// A file dialog that "chooses" what the test says; with nothing said it acts
// as a cancel and leaves the preset name.
class ChosenFile : public CommonDialog {
public:
    QString next;
    int shows = 0;
    QString presetSeen;

    void ShowOpen() override
    {
        ++shows;
        presetSeen = FileName();
        if (!next.isNull())
            setFileName(next);
    }
};
