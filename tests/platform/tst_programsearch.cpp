#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "PlatformConstants.h"

// A bare program name is looked for beside the program first, then on PATH, as Windows does.
class TestProgramSearch : public QObject
{
    Q_OBJECT

private slots:
    void namesWithAFolderStayAsGiven();
    void bareNameFoundNowhereStaysBare();
    void besideTheApplicationBeforePath();

private:
    static bool writeProgram(const QString& path, bool executable);
};

bool TestProgramSearch::writeProgram(const QString& path, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n");
    file.close();
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        permissions |= QFileDevice::ExeOwner;
    return file.setPermissions(permissions);
}

void TestProgramSearch::namesWithAFolderStayAsGiven()
{
    QCOMPARE(PlatformConstants::findProgram("/nonexistent/convert"), QString("/nonexistent/convert"));
    QCOMPARE(PlatformConstants::findProgram("tools/gifsicle"), QString("tools/gifsicle"));
    QCOMPARE(PlatformConstants::findProgram(QString()), QString());
}

void TestProgramSearch::bareNameFoundNowhereStaysBare()
{
    QCOMPARE(PlatformConstants::findProgram("vx-no-such-program"), QString("vx-no-such-program"));
}

void TestProgramSearch::besideTheApplicationBeforePath()
{
    const QString name = "vx-probe-tool";
    QTemporaryDir pathDir;
    QVERIFY(pathDir.isValid());
    const QString onPath = pathDir.filePath(name);
    QVERIFY(writeProgram(onPath, true));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(pathDir.path()) + ':' + oldPath);

    const QString beside = QCoreApplication::applicationDirPath() + '/' + name;
    QVERIFY(!QFile::exists(beside));
    const QString pathOnly = PlatformConstants::findProgram(name);
    QVERIFY(writeProgram(beside, false));
    const QString besideNotExecutable = PlatformConstants::findProgram(name);
    QVERIFY(writeProgram(beside, true));
    const QString besideExecutable = PlatformConstants::findProgram(name);
    QVERIFY(QFile::remove(beside));
    qputenv("PATH", oldPath);

    QCOMPARE(pathOnly, onPath);
    QCOMPARE(besideNotExecutable, onPath);
    QCOMPARE(besideExecutable, beside);
}

QTEST_GUILESS_MAIN(TestProgramSearch)
#include "tst_programsearch.moc"
