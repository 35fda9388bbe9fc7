#include "app/chinesecatalogues.h"
#include "app/commondialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Once the open dialog has listed its folder (or after five seconds), hands
// it and the names it lists to `act`, which must close it.
void whenListed(std::function<void(QFileDialog *, QStringList)> act)
{
    auto *poll = new QTimer;
    auto *waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [poll, waited, act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *view = dialog ? dialog->findChild<QAbstractItemView *>(QStringLiteral("listView")) : nullptr;
        const int rows = view ? view->model()->rowCount(view->rootIndex()) : 0;
        if (!dialog || (rows == 0 && waited->elapsed() < 5000))
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        QStringList listed;
        for (int row = 0; row < rows; ++row)
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
        act(dialog, listed);
    });
    poll->start(20);
}

void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("1,2\n");
}

} // namespace

class TestCommonDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installChineseCatalogues(*qApp); }
    void listsObjectFilesInEitherCase();
    void cancelLeavesThePreset();
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
    whenListed([&](QFileDialog *dialog, QStringList names) {
        listed = names;
        if (auto *buttons = dialog->findChild<QDialogButtonBox *>())
            openText = buttons->button(QDialogButtonBox::Open)->text();
        dialog->selectFile(folder + "/prog.obj");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtCommonDialog chooser(nullptr);
    chooser.setFileName(QStringLiteral("*.OBJ"));
    chooser.ShowOpen();
    QDir::setCurrent(before);

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
    whenListed([](QFileDialog *dialog, QStringList) { dialog->reject(); });
    QtCommonDialog chooser(nullptr);
    chooser.setFileName(QStringLiteral("*.OBJ"));
    chooser.ShowOpen();
    QDir::setCurrent(before);
    QCOMPARE(chooser.FileName(), QStringLiteral("*.OBJ"));
}

QTEST_MAIN(TestCommonDialog)
#include "tst_commondialog.moc"
