// The per-test folder that the window and history tests stand in: it is made, holds the program's
// own files and is the current folder while it lives; afterwards the previous folder is current
// again and nothing of it is left.
#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "TestFolder.h"
#include "Tool.h"

class TestTestFolder : public QObject
{
    Q_OBJECT

private slots:
    void isCurrentAndHoldsTheProgramsFiles();
    void goingRestoresTheCurrentFolderAndRemovesIt();
    void nestedFoldersUnwindInOrder();
};

void TestTestFolder::isCurrentAndHoldsTheProgramsFiles()
{
    TestFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFileInfo(folder.path()).isDir());
    QCOMPARE(QDir::current().canonicalPath(), QDir(folder.path()).canonicalPath());
    QCOMPARE(folder.filePath("a.json"), folder.path() + "/a.json");
    QVERIFY(g_AppDataPath.startsWith(folder.path() + '/'));
    QVERIFY(qEnvironmentVariable("VX_TEMP_DIR").startsWith(folder.path() + '/'));
}

void TestTestFolder::goingRestoresTheCurrentFolderAndRemovesIt()
{
    QTemporaryDir before;
    QVERIFY(before.isValid());
    QVERIFY(QDir::setCurrent(before.path()));
    QString path;
    {
        TestFolder folder;
        QVERIFY(folder.isValid());
        path = folder.path();
    }
    QCOMPARE(QDir::current().canonicalPath(), QDir(before.path()).canonicalPath());
    QVERIFY(!QFileInfo::exists(path));
}

void TestTestFolder::nestedFoldersUnwindInOrder()
{
    const QString start = QDir::currentPath();
    auto outer = std::make_unique<TestFolder>();
    QVERIFY(outer->isValid());
    {
        TestFolder inner;
        QVERIFY(inner.isValid());
        QCOMPARE(QDir::current().canonicalPath(), QDir(inner.path()).canonicalPath());
    }
    QCOMPARE(QDir::current().canonicalPath(), QDir(outer->path()).canonicalPath());
    outer.reset();
    QCOMPARE(QDir::currentPath(), start);
}

QTEST_GUILESS_MAIN(TestTestFolder)
#include "tst_testfolder.moc"
