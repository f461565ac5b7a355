#include <csignal>
#include <memory>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "TestEnv.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

// The guard around one tool run, driven with small shell scripts: every way a run ends is told
// once, with the bounds it was given.
class TestToolProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void endsOnce_data();
    void endsOnce();
    void outputRestartsTheSilenceLimit();
    void toolOutlivingItsGuardGoesWithIt();

private:
    QString writeScript(const QString& name, const QByteArray& body) const;

    QTemporaryDir m_dir;
};

void TestToolProcess::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<ToolProcess::End>();
}

QString TestToolProcess::writeScript(const QString& name, const QByteArray& body) const
{
    return TestEnv::writeScript(m_dir.filePath(name), body);
}

void TestToolProcess::endsOnce_data()
{
    QTest::addColumn<QByteArray>("body"); // empty: a program that does not exist
    QTest::addColumn<int>("timeLimit");
    QTest::addColumn<int>("silenceLimit");
    QTest::addColumn<ToolProcess::End>("end");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("failure"); // %P: the program
    QTest::addColumn<QByteArray>("outputStart");

    using End = ToolProcess::End;
    QTest::newRow("exits cleanly") << QByteArray("echo done $1") << 5000 << 5000 << End::Exited << 0 << ""
                                   << QByteArray("done a b\n");
    QTest::newRow("exits with a code") << QByteArray("echo broken\nexit 3") << 5000 << 0 << End::Exited << 3
                                       << "exit code 3" << QByteArray("broken\n");
    QTest::newRow("cannot start") << QByteArray() << 5000 << 0 << End::FailedToStart << 0 << "cannot start %P"
                                  << QByteArray();
    QTest::newRow("crashes") << QByteArray("echo dying\nkill -KILL $$") << 5000 << 0 << End::Crashed << 0
                             << "crashed" << QByteArray("dying\n");
    QTest::newRow("passes its time limit")
        << QByteArray("exec sleep 30") << 300 << 0 << End::TimedOut << 0 << "timed out" << QByteArray();
    QTest::newRow("output does not stretch the time limit")
        << QByteArray("while :; do echo tick; sleep 0.05; done") << 500 << 3000 << End::TimedOut << 0
        << "timed out" << QByteArray("tick\n");
    QTest::newRow("goes silent") << QByteArray("echo once\nexec sleep 30") << 0 << 300 << End::Silent << 0
                                 << "went silent" << QByteArray("once\n");
}

void TestToolProcess::endsOnce()
{
    QFETCH(QByteArray, body);
    QFETCH(int, timeLimit);
    QFETCH(int, silenceLimit);
    QFETCH(ToolProcess::End, end);
    QFETCH(int, exitCode);
    QFETCH(QString, failure);
    QFETCH(QByteArray, outputStart);

    const QString program =
        body.isEmpty() ? m_dir.filePath("no such tool") : writeScript(QTest::currentDataTag(), body);
    ToolProcess tool(nullptr);
    tool.setTimeLimit(timeLimit);
    tool.setSilenceLimit(silenceLimit);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    QElapsedTimer clock;
    clock.start();
    // Arguments go through as they are: a blank stays inside its argument.
    tool.start(ToolCommand(program, {"a b"}, "ignored"));

    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), end);
    QCOMPARE(spy[0][1].toInt(), exitCode);
    QCOMPARE(tool.failure(end, exitCode), QString(failure).replace("%P", program));
    QCOMPARE(tool.process()->state(), QProcess::NotRunning);
    QVERIFY2(tool.process()->readAllStandardOutput().startsWith(outputStart), QTest::currentDataTag());
    QVERIFY(!spy.wait(400)); // no second end, neither from a timer nor from the process
}

void TestToolProcess::outputRestartsTheSilenceLimit()
{
    // Eight lines 100 ms apart, then silence: the 500 ms limit holds off until the lines stop.
    const QString program = writeScript("ticks", "for i in 1 2 3 4 5 6 7 8; do echo $i; sleep 0.1; done\n"
                                                 "exec sleep 30");
    ToolProcess tool(nullptr);
    tool.setSilenceLimit(500);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    QElapsedTimer clock;
    clock.start();
    tool.start(ToolCommand(program, {}, "ticks"));

    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), ToolProcess::End::Silent);
    QVERIFY2(clock.elapsed() >= 1100, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(tool.process()->readAllStandardOutput(), QByteArray("1\n2\n3\n4\n5\n6\n7\n8\n"));
}

void TestToolProcess::toolOutlivingItsGuardGoesWithIt()
{
    const QString pidFile = m_dir.filePath("outlives.pid");
    const QString program =
        writeScript("outlives", QString("echo $$ > '%1'\nexec sleep 30").arg(pidFile).toUtf8());
    auto tool = std::make_unique<ToolProcess>(nullptr);
    tool->setTimeLimit(60000);
    int ends = 0;
    QObject witness;
    connect(tool.get(), &ToolProcess::ended, &witness, [&ends] { ++ends; });
    tool->start(ToolCommand(program, {}, "outlives"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10000);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int pid = file.readAll().trimmed().toInt();
    QVERIFY(pid > 0);

    tool.reset();
    QCOMPARE(ends, 0);
    QVERIFY(::kill(pid, 0) != 0); // gone, and reaped
}

QTEST_GUILESS_MAIN(TestToolProcess)
#include "tst_toolprocess.moc"
