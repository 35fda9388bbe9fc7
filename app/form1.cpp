#include "app/form1.h"

#include "app/busywindow.h"
#include "app/messagebox.h"
#include "app/printsurface.h"
#include "image/objectfilereader.h"
#include "serial/module1.h"
#include "serial/receivehandler.h"
#include "serial/systemline.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace {
const QString kObjPreset = QStringLiteral("*.OBJ");
// The longest the window spends on the input queued during a download.
constexpr int kQueuedInputMs = 200;
}   // namespace

Form1::Form1(Services services, QWidget *parent)
    : QMainWindow(parent),
      services_(withDefaults(std::move(services))),
      ports_(*services_.line, services_.messageBox, services_.portTroubles),
      download_(*services_.line, rx, *services_.clock, downloadHooks())
{
    ui.setupUi(this);
    progress_ = std::make_unique<DownloadProgress>(*ui.progress, *services_.clock);
    connect(ui.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(ui.OPEN, &QAction::triggered, this, &Form1::OPEN_Click);
    connect(ui.EXIT, &QAction::triggered, this, &Form1::EXIT_Click);
    connect(ui.CONFIG, &QAction::triggered, this, &Form1::CONFIG_Click);
    connect(services_.line, &SerialLine::OnComm, this, &Form1::MSComm1_OnComm);
    Form_Load();
}

Form1::~Form1()
{
    download_.abort();
    Closeport();
}

Form1::Services Form1::withDefaults(Services s)
{
    if (!s.dialog) {
        ownDialog_ = makeSystemCommonDialog(this);
        s.dialog = ownDialog_.get();
    }
    if (!s.portMapping)
        s.portMapping = systemPortFor;
    if (!s.portList)
        s.portList = systemPorts;
    if (!s.portTroubles.at && !s.portTroubles.adaptersWithoutPort)
        s.portTroubles = systemPortTroubles();
    if (!s.line) {
        ownLine_ = makeSystemSerialLine(s.portMapping);
        s.line = ownLine_.get();
    }
    if (!s.clock) {
        ownClock_ = std::make_unique<SteadyClock>();
        s.clock = ownClock_.get();
    }
    if (!s.messageBox)
        s.messageBox
            = [this](const QString &text, const QString &detail) { showMessageBox(this, text, detail); };
    if (!s.endProgram)
        s.endProgram = [] { QCoreApplication::exit(0); };
    if (!s.processEvents)
        s.processEvents = [] { QCoreApplication::processEvents(); };
    if (!s.showResponsive)
        s.showResponsive = BusyWindow::lookAtMessageQueue;
    return s;
}

DownloadProcedure::Hooks Form1::downloadHooks()
{
    DownloadProcedure::Hooks hooks;
    hooks.Openport = [this] { Openport(); };
    hooks.Closeport = [this] { Closeport(); };
    hooks.processEvents = services_.processEvents;
    hooks.showResponsive = services_.showResponsive;
    hooks.progress = [this](int acknowledged, int frames) { showProgress(acknowledged, frames); };
    return hooks;
}

void Form1::Form_Load()
{
    image.WordCount = 0;
    PortNo = 1;
}

void Form1::Openport() { ports_.Openport(); }

void Form1::Closeport() { ports_.Closeport(); }

void Form1::OUTLABEL() { ui.Label4->setText(QString::number(ShownCount)); }

void Form1::OPEN_Click()
{
    CommonDialog &dialog = *services_.dialog;
    dialog.setFileName(kObjPreset);
    dialog.ShowOpen();
    const QString name = dialog.FileName();
    if (name != kObjPreset && !name.isEmpty()) {
        // All or nothing: a file that does not read whole leaves the loaded
        // program, its name and its count as they were.
        const ParsedObjectFile file = ObjectFileReader::read(name);
        if (file.ok) {
            image.load(file.words);
            ui.Label2->setText(name);
        } else {
            services_.messageBox(QStringLiteral("文件不能打开!"), QString());
        }
    }
    ui.Label8->setText(QString::number(image.WordCount));
}

void Form1::Command1_Click()
{
    if (download_.running())
        return;
    ShownCount = 0;
    OUTLABEL();
    setCommandsEnabled(false);
    progress_->start(image.WordCount + 1);
    // The waits for answers process no window events, so the window is
    // painted here, showing the download under way before the first of them.
    repaint();
    BusyWindow::showPainting();
    const DownloadOutcome outcome = download_.run(image);
    if (outcome.end == DownloadOutcome::End::Aborted)
        return;   // the program is ending
    progress_->finish();
    ui.Label4->setText(outcome.label4Text());
    // Clicks and keys made during those waits are still queued. They meet
    // the commands as they were meanwhile, disabled, and do nothing: a click
    // on 下载 must not start the download again once it has ended. Windows
    // hands its input to Qt in one pass of event processing and Qt delivers
    // it in the next, so events are processed until none are left.
    QCoreApplication::processEvents(QEventLoop::AllEvents, kQueuedInputMs);
    setCommandsEnabled(true);
}

void Form1::showProgress(int acknowledged, int frames) { progress_->update(acknowledged, frames); }

// A second download, a new load or a closed port in mid-transfer would
// corrupt the download under way; Exit stays available to a click. No key may
// reach a command meanwhile: the keyboard focus rests on the window's surface
// and neither button takes it, so a Space or Enter meant for 下载 cannot land
// on 退出. Afterwards 下载 has the focus again, whatever the outcome, and
// Space or Enter downloads the same program once more.
void Form1::setCommandsEnabled(bool enabled)
{
    if (!enabled)
        ui.surface->setFocus(Qt::OtherFocusReason);
    ui.Command1->setEnabled(enabled);
    ui.Command2->setFocusPolicy(enabled ? Qt::StrongFocus : Qt::NoFocus);
    ui.OPEN->setEnabled(enabled);
    ui.CONFIG->setEnabled(enabled);
    if (enabled)
        ui.Command1->setFocus(Qt::OtherFocusReason);
}

void Form1::Command2_Click() { EXIT_Click(); }

void Form1::EXIT_Click()
{
    if (ending_)
        return;
    ending_ = true;
    hide();
    if (form2_)
        form2_->hide();
    download_.abort();
    if (!download_.running())
        Closeport();   // else the download closes it as it ends, once its last bytes have left
    services_.endProgram();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    EXIT_Click();
}

// Shows the port selection window without waiting for it, and closes the
// port while the operator chooses.
void Form1::CONFIG_Click()
{
    if (!form2_)
        form2_ = std::make_unique<Form2>(services_.portMapping, services_.portList, services_.portTroubles);
    form2_->show();
    form2_->raise();
    form2_->activateWindow();
    Closeport();
}

void Form1::MSComm1_OnComm()
{
    const int shown = ReceiveHandler::MSComm1_OnComm(*services_.line, rx, download_.running());
    ui.surface->Print(QString::number(shown));
}
