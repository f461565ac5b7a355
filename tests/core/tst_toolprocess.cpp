#include <csignal>
#include <memory>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "BlockingToolRun.h"
#include "RunningTools.h"
#include "TestEnv.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

// The guard around one tool run, driven with small shell scripts: every way a run ends is told
// once, with the bounds it was given.

namespace
{
// Bounds that must not pass, and how long a tool may take to be seen ending on a slow and busy
// machine; the scripts that are ended sleep longer than this.
const int kNeverMs = 120000;
const int kEndsWithinMs = 20000;
} // namespace
class TestToolProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void endsOnce_data();
    void endsOnce();
    void outputRestartsTheSilenceLimit();
    void toolOutlivingItsGuardGoesWithIt();
    void cancelEndsTheWholeGroupSilently();
    void programsLeftBehindGoWithTheirTool();
    void endAllEndsEveryRunningTool();
    void blockingRunEndsAtOnceWhenCancelled();

private:
    QString writeScript(const QString& name, const QByteArray& body) const;
    // A tool that starts a second program of its own and then waits; both write their pids.
    QString parentAndChild(const QString& name, const QString& pids) const;
    static QList<qint64> readPids(const QString& file);

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
    QTest::newRow("exits cleanly") << QByteArray("echo done $1") << kNeverMs << kNeverMs << End::Exited << 0
                                   << "" << QByteArray("done a b\n");
    QTest::newRow("exits with a code") << QByteArray("echo broken\nexit 3") << kNeverMs << 0 << End::Exited
                                       << 3 << "exit code 3" << QByteArray("broken\n");
    QTest::newRow("cannot start") << QByteArray() << kNeverMs << 0 << End::FailedToStart << 0
                                  << "cannot start %P" << QByteArray();
    QTest::newRow("crashes") << QByteArray("echo dying\nkill -KILL $$") << kNeverMs << 0 << End::Crashed << 0
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

    // The scripts that run into a bound sleep for 30 s: an end within 20 s is the bound's.
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kEndsWithinMs);
    QVERIFY(clock.elapsed() < kEndsWithinMs);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), end);
    QCOMPARE(spy[0][1].toInt(), exitCode);
    QCOMPARE(tool.failure(end, exitCode), QString(failure).replace("%P", program));
    QCOMPARE(tool.process()->state(), QProcess::NotRunning);
    QVERIFY2(tool.process()->readAllStandardOutput().startsWith(outputStart), QTest::currentDataTag());
    QVERIFY(!spy.wait(400)); // no second end, neither from a timer nor from the process
}

void TestToolProcess::outputRestartsTheSilenceLimit()
{
    // Thirty lines 100 ms apart (three seconds of output, ten times the limit between two lines),
    // then silence: the one-second limit holds off until the lines stop.
    const QString program = writeScript("ticks", "i=1\nwhile [ $i -le 30 ]; do echo $i; i=$((i + 1)); "
                                                 "sleep 0.1; done\nexec sleep 30");
    ToolProcess tool(nullptr);
    tool.setSilenceLimit(1000);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    QElapsedTimer clock;
    clock.start();
    tool.start(ToolCommand(program, {}, "ticks"));

    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kEndsWithinMs);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), ToolProcess::End::Silent);
    QVERIFY2(clock.elapsed() >= 3000, qPrintable(QString::number(clock.elapsed())));
    QByteArray lines;
    for (int i = 1; i <= 30; ++i)
        lines += QByteArray::number(i) + '\n';
    QCOMPARE(tool.process()->readAllStandardOutput(), lines);
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

QString TestToolProcess::parentAndChild(const QString& name, const QString& pids) const
{
    return writeScript(name, QString("sleep 30 &\necho $! > '%1.tmp'\necho $$ >> '%1.tmp'\n"
                                     "mv '%1.tmp' '%1'\nwait")
                                 .arg(pids)
                                 .toUtf8());
}

QList<qint64> TestToolProcess::readPids(const QString& file)
{
    QFile in(file);
    QList<qint64> pids;
    if (in.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : in.readAll().split('\n')) {
            if (line.toLongLong() > 0)
                pids << line.toLongLong();
        }
    }
    return pids;
}

void TestToolProcess::cancelEndsTheWholeGroupSilently()
{
    const QString pids = m_dir.filePath("cancel.pids");
    ToolProcess tool(nullptr);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    tool.start(ToolCommand(parentAndChild("cancelled", pids), {}, "cancelled"));
    QVERIFY(tool.isRunning());
    QCOMPARE(RunningTools::instance()->count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(readPids(pids).size(), 2, 10000);

    tool.cancel();
    QVERIFY(!tool.isRunning());
    QCOMPARE(tool.process()->state(), QProcess::NotRunning);
    QCOMPARE(RunningTools::instance()->count(), 0);
    for (const qint64 pid : readPids(pids))
        QTRY_VERIFY_WITH_TIMEOUT(TestEnv::processGone(pid), kEndsWithinMs);
    QVERIFY(!spy.wait(300));
}

void TestToolProcess::programsLeftBehindGoWithTheirTool()
{
    // The tool ends by itself and leaves a program it started running: that goes too.
    const QString pidFile = m_dir.filePath("left.pid");
    const QString program =
        writeScript("leaves", QString("sleep 30 &\necho $! > '%1'\nexit 0").arg(pidFile).toUtf8());
    ToolProcess tool(nullptr);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    tool.start(ToolCommand(program, {}, "leaves"));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), ToolProcess::End::Exited);
    const QList<qint64> left = readPids(pidFile);
    QCOMPARE(left.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(TestEnv::processGone(left.first()), kEndsWithinMs);
    QCOMPARE(RunningTools::instance()->count(), 0);
}

void TestToolProcess::endAllEndsEveryRunningTool()
{
    // One tool on this thread and one waited for on another: endAll ends both, at once.
    const QString first = m_dir.filePath("first.pids");
    const QString second = m_dir.filePath("second.pids");
    ToolProcess tool(nullptr);
    QSignalSpy spy(&tool, &ToolProcess::ended);
    tool.start(ToolCommand(parentAndChild("first", first), {}, "first"));
    BlockingToolRun run;
    BlockingToolRun::Result result;
    QThread* worker = QThread::create(
        [&] { result = run.run(ToolCommand(parentAndChild("second", second), {}, "second"), 60000); });
    worker->start();
    QTRY_COMPARE_WITH_TIMEOUT(readPids(first).size() + readPids(second).size(), 4, 10000);
    QCOMPARE(RunningTools::instance()->count(), 2);

    RunningTools::endAll();
    QVERIFY(worker->wait(kEndsWithinMs));
    delete worker;
    QCOMPARE(result.end, BlockingToolRun::End::Crashed); // killed by nobody the run knew of
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kEndsWithinMs);
    QCOMPARE(spy[0][0].value<ToolProcess::End>(), ToolProcess::End::Crashed);
    for (const qint64 pid : readPids(first) + readPids(second))
        QTRY_VERIFY_WITH_TIMEOUT(TestEnv::processGone(pid), kEndsWithinMs);
    QCOMPARE(RunningTools::instance()->count(), 0);
}

void TestToolProcess::blockingRunEndsAtOnceWhenCancelled()
{
    const QString pids = m_dir.filePath("blocking.pids");
    BlockingToolRun run;
    BlockingToolRun::Result result;
    QThread* worker = QThread::create(
        [&] { result = run.run(ToolCommand(parentAndChild("blocking", pids), {}, "blocking"), 60000); });
    worker->start();
    QTRY_COMPARE_WITH_TIMEOUT(readPids(pids).size(), 2, 10000);

    run.cancel();
    QVERIFY(worker->wait(kEndsWithinMs));
    delete worker;
    QCOMPARE(result.end, BlockingToolRun::End::Cancelled);
    QVERIFY(result.pid > 0);
    for (const qint64 pid : readPids(pids))
        QTRY_VERIFY_WITH_TIMEOUT(TestEnv::processGone(pid), kEndsWithinMs);
    QCOMPARE(RunningTools::instance()->count(), 0);

    // After a cancel nothing starts any more.
    const BlockingToolRun::Result later =
        run.run(ToolCommand(writeScript("never", "touch never-ran"), {}, "x"), 5000);
    QCOMPARE(later.end, BlockingToolRun::End::Cancelled);
    QCOMPARE(later.pid, qint64(0));
}

QTEST_GUILESS_MAIN(TestToolProcess)
#include "tst_toolprocess.moc"
