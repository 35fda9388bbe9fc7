#include "app/form1.h"
#include "app/qtcommondialog.h"
#include "common/chinesecatalogues.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString freshHome;   // the run's own empty home and settings folder

constexpr int kGiveUpMs = 10000;

// Drives the next open dialog: once it has listed its folder (or after five
// seconds), hands it and the names it lists to `act`, which must close it.
// Every wait is bounded: whatever is still open after ten seconds (the dialog,
// or a message box it raised) is closed, and failure() names it.
class DialogDriver {
public:
    using Act = std::function<void(QFileDialog *, QStringList)>;

    explicit DialogDriver(Act act) : act_(std::move(act))
    {
        waited_.start();
        poll_.callOnTimeout([this] { look(); });
        poll_.start(20);
    }

    QString failure() const { return failure_; }

private:
    static QFileDialog *shownDialog()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QFileDialog *>(w); dialog && dialog->isVisible())
                return dialog;
        return nullptr;
    }

    void look()
    {
        if (waited_.elapsed() >= kGiveUpMs) {
            giveUp();
            return;
        }
        if (acted_)
            return;
        QFileDialog *dialog = shownDialog();
        auto *view = dialog ? dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")) : nullptr;
        const int rows = view ? view->model()->rowCount(view->rootIndex()) : 0;
        if (!dialog || (rows == 0 && waited_.elapsed() < 5000))
            return;
        acted_ = true;
        QStringList listed;
        for (int row = 0; row < rows; ++row)
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
        // Outside this timer's own callback, so that the timer goes on
        // firing while `act` waits in a box the dialog raises.
        QTimer::singleShot(0, dialog, [this, dialog, listed] { act_(dialog, listed); });
    }

    void giveUp()
    {
        poll_.stop();
        failure_ = acted_ ? QStringLiteral("the dialog did not close; still open:")
                          : QStringLiteral("no open dialog was shown; still open:");
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            failure_ += QLatin1Char(' ') + QString::fromLatin1(w->metaObject()->className());
            if (auto *box = qobject_cast<QMessageBox *>(w))
                failure_ += QStringLiteral(" \"%1\"").arg(box->text());
            if (auto *dialog = qobject_cast<QDialog *>(w))
                dialog->reject();
            else
                w->close();
        }
    }

    Act act_;
    QTimer poll_;
    QElapsedTimer waited_;
    bool acted_ = false;
    QString failure_;
};

void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("1,2\n");
}

}   // namespace

class TestCommonDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installChineseCatalogues(*qApp); }
    void listsObjectFilesInEitherCase();
    void cancelLeavesThePreset();
    void writesNothingToTheHome();
};

void TestCommonDialog::listsObjectFilesInEitherCase()
{
    QTemporaryDir dir;
    const QString folder = QDir(dir.filePath(QStringLiteral("用户程序"))).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    touch(folder + "/prog.obj");
    touch(folder + "/MAIN.OBJ");
    touch(folder + "/notes.txt");
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder);   // no start folder is set: the dialog opens where the program runs

    QStringList listed;
    QString openText;
    DialogDriver driver([&](QFileDialog *dialog, QStringList names) {
        listed = names;
        if (auto *buttons = dialog->findChild<QDialogButtonBox *>())
            openText = buttons->button(QDialogButtonBox::Open)->text();
        // Typed, as an operator would: selectFile() leaves a focused name field as it is.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(QStringLiteral("prog.obj"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtCommonDialog chooser(nullptr);
    chooser.setFileName(QStringLiteral("*.OBJ"));
    chooser.ShowOpen();
    QDir::setCurrent(before);
    QVERIFY2(driver.failure().isEmpty(), qPrintable(driver.failure()));

    listed.sort();
    QCOMPARE(listed, (QStringList{"MAIN.OBJ", "prog.obj"}));
    QCOMPARE(chooser.FileName(), folder + "/prog.obj");
    QCOMPARE(openText, QStringLiteral("打开(&O)"));
}

void TestCommonDialog::cancelLeavesThePreset()
{
    QTemporaryDir dir;
    touch(dir.filePath("A.OBJ"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    DialogDriver driver([](QFileDialog *dialog, QStringList) { dialog->reject(); });
    QtCommonDialog chooser(nullptr);
    chooser.setFileName(QStringLiteral("*.OBJ"));
    chooser.ShowOpen();
    QDir::setCurrent(before);
    QVERIFY2(driver.failure().isEmpty(), qPrintable(driver.failure()));
    QCOMPARE(chooser.FileName(), QStringLiteral("*.OBJ"));
}

// Open, cancelled and completed, then Exit, in the real window: the home and
// settings folder the run started with stays empty.
void TestCommonDialog::writesNothingToTheHome()
{
    QTemporaryDir dir;
    touch(dir.filePath("P.OBJ"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    int ends = 0;
    Form1Services services;
    services.messageBox = [](const QString &text, const QString &) { QFAIL(qPrintable(text)); };
    services.endProgram = [&] { ++ends; };
    Form1 form(services);
    form.show();
    {
        DialogDriver cancel([](QFileDialog *dialog, QStringList) { dialog->reject(); });
        form.OPEN_Click();
        QVERIFY2(cancel.failure().isEmpty(), qPrintable(cancel.failure()));
    }
    {
        const QString path = dir.filePath("P.OBJ");   // the dialog opens where the last one ended
        DialogDriver choose([path](QFileDialog *dialog, QStringList) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        form.OPEN_Click();
        QVERIFY2(choose.failure().isEmpty(), qPrintable(choose.failure()));
    }
    QDir::setCurrent(before);
    QCOMPARE(form.image.WordCount, 2);
    form.EXIT_Click();
    QCOMPARE(ends, 1);

    QStringList written;
    QDirIterator it(freshHome, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        written << it.next();
    QCOMPARE(written, QStringList());
}

// The whole run gets a fresh, empty home and settings folder, as on a new
// machine: the dialog finds no settings of an earlier run.
int main(int argc, char *argv[])
{
    QTemporaryDir home;
    freshHome = home.path();
    qputenv("HOME", QFile::encodeName(freshHome));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(freshHome + "/.config"));
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("XDG_DATA_HOME");
    QApplication app(argc, argv);
    TestCommonDialog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commondialog.moc"
