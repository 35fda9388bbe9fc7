#pragma once

#include "app/commondialog.h"
#include "app/downloadprogress.h"
#include "app/form1ui.h"
#include "download/clock.h"
#include "download/downloadprocedure.h"
#include "image/programimage.h"
#include "serial/form2.h"
#include "serial/portcontroller.h"
#include "serial/receivestate.h"
#include "serial/serialline.h"
#include "systemports/portmapping.h"
#include "systemports/systemports.h"

#include <QMainWindow>

#include <functional>
#include <memory>

// What the outside world gives the main window; each left empty gets the real one.
struct Form1Services {
    CommonDialog *dialog = nullptr;
    SerialLine *line = nullptr;
    Clock *clock = nullptr;
    PortController::MessageBox messageBox;   // its text, and the line below it
    std::function<void()> endProgram;
    std::function<void()> processEvents;
    std::function<void()> showResponsive;   // during the waits that process no events
    PortMapping portMapping;                // which device each port number opens
    PortList portList;                      // the system's serial ports, for the port window's tooltips
    PortTroubles portTroubles;              // what stands in the way of them, for the box and the tooltips
};

// The main window: it owns the program image, the serial port and the state
// the commands share, and wires every command to the code that carries it out.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    using Services = Form1Services;

    explicit Form1(Services services = Services(), QWidget *parent = nullptr);
    ~Form1() override;

    // Public procedures the commands share.
    void Openport();
    void Closeport();
    void OUTLABEL();

    // Commands.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void OPEN_Click();
    void EXIT_Click();
    void CONFIG_Click();
    void MSComm1_OnComm();

    SerialLine &MSComm1() { return *services_.line; }
    Form2 *form2() const { return form2_.get(); }

    Form1Ui ui;
    ProgramImage image;
    ReceiveState rx;
    qint32 ShownCount = 0;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Services withDefaults(Services services);
    DownloadProcedure::Hooks downloadHooks();
    void setCommandsEnabled(bool enabled);
    void showProgress(int acknowledged, int frames);

    std::unique_ptr<CommonDialog> ownDialog_;
    std::unique_ptr<SerialLine> ownLine_;
    std::unique_ptr<Clock> ownClock_;
    Services services_;
    PortController ports_;
    DownloadProcedure download_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<DownloadProgress> progress_;
    bool ending_ = false;
};
