#pragma once

#include <QPushButton>

// A command button as operators know it from the desktop: Space or Enter
// clicks the button that has the keyboard focus. It is never the window's
// default button; Enter acts only on the focused one.
class CommandButton : public QPushButton {
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
