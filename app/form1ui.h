#pragma once

class PrintSurface;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;

// The controls of the main window, under the names operators and
// maintainers know them by, laid out as the form designer placed them.
struct Form1Ui {
    PrintSurface *surface = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QProgressBar *progress = nullptr;   // shown only while a download runs
    QMenu *WENJIAN = nullptr;
    QAction *OPEN = nullptr;
    QAction *SAVE = nullptr;
    QAction *EXIT = nullptr;
    QAction *CONFIG = nullptr;
    QAction *HELP = nullptr;

    void setupUi(QMainWindow *form);
};
