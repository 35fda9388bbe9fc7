#pragma once

#include <QString>

class QWidget;

// The tool's message box: caption "KD7", one line of text, one OK button,
// modal; returns when the operator presses OK. A `detail` goes on a line of
// its own below the text (why, and what to do), where there is one.
void showMessageBox(QWidget *owner, const QString &text, const QString &detail = {});
