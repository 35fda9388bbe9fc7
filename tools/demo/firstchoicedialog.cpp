#include "firstchoicedialog.h"

void FirstChoiceDialog::ShowOpen()
{
    if (!firstChoice_.isEmpty()) {
        setFileName(firstChoice_);
        firstChoice_.clear();
        return;
    }
    desktop_.setFileName(FileName());
    desktop_.ShowOpen();
    setFileName(desktop_.FileName());
}
