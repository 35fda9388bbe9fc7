#pragma once

#include <QString>

class QWidget;

// The tool's message box: caption "KD7", one line of text, one OK button,
// modal; returns when the operator presses OK.
void showMessageBox(QWidget *owner, const QString &text);
