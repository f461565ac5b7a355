// The rules every compression job ends by (JobEnding), on real files and real tool runs: one final
// report, nothing after the end, and what is removed at each end.
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "JobEnding.h"
#include "ProgressReport.h"
#include "RunningTools.h"
#include "TestEnv.h"
#include "Tool.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

class JobEndingRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failureAndSuccessRace_data();
    void failureAndSuccessRace();
    void reportFields();
    void progressOnlyWhileRunning();
    void nothingAfterCancel();
    void cancelAfterReportDoesNothing_data();
    void cancelAfterReportDoesNothing();
    void programCloseCancels();
    void whatIsRemoved_data();
    void whatIsRemoved();
    void inputIsNeverRemoved();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    static bool write(const QString& path, const QByteArray& bytes = "bytes");
    // The job's files: input, output, an intermediate file and an intermediate folder with a file in it.
    void makeJobFiles(JobEnding& ending);
    // A writer in the given state: "running", "ended" or "failed to start".
    void startWriter(const QString& state, ToolProcess** tool);

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<ToolProcess*> m_tools;
};

void JobEndingRulesTest::initTestCase()
{
    qRegisterMetaType<ToolProcess::End>();
}

void JobEndingRulesTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    TestEnv::isolate(*m_dir);
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix"));
}

void JobEndingRulesTest::cleanup()
{
    qDeleteAll(m_tools);
    m_tools.clear();
}

bool JobEndingRulesTest::write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void JobEndingRulesTest::makeJobFiles(JobEnding& ending)
{
    QVERIFY(write(path("in.png"), "input"));
    QVERIFY(write(path("c_in.png"), "an earlier result"));
    QVERIFY(write(path("scaled.png"), "intermediate"));
    QVERIFY(QDir().mkpath(path("work/inner")));
    QVERIFY(write(path("work/inner/part.pdf")));
    ending.setInput(path("in.png"));
    ending.setOutput(path("c_in.png"));
    ending.addIntermediate(path("scaled.png"));
    ending.addIntermediate(path("work"));
}

void JobEndingRulesTest::startWriter(const QString& state, ToolProcess** tool)
{
    *tool = new ToolProcess(nullptr);
    m_tools.append(*tool);
    QSignalSpy ended(*tool, &ToolProcess::ended);
    if (state == "failed to start")
        (*tool)->start(ToolCommand(path("no such tool"), {}, "no such tool"));
    else if (state == "ended")
        (*tool)->start(ToolCommand("/bin/sh", {"-c", "exit 0"}, "sh"));
    else
        (*tool)->start(ToolCommand("/bin/sh", {"-c", "exec sleep 30"}, "sh"));
    if (state == "running") {
        QVERIFY((*tool)->isRunning());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
    const auto end = ended.at(0).at(0).value<ToolProcess::End>();
    QCOMPARE(end, state == "ended" ? ToolProcess::End::Exited : ToolProcess::End::FailedToStart);
}

void JobEndingRulesTest::failureAndSuccessRace_data()
{
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("failed"); // which end the one report tells
    QTest::newRow("failure first") << QStringList{"fail", "succeed"} << true;
    QTest::newRow("success first") << QStringList{"succeed", "fail"} << false;
    QTest::newRow("two failures") << QStringList{"fail", "fail"} << true;
    QTest::newRow("two successes") << QStringList{"succeed", "succeed"} << false;
    QTest::newRow("a failure after a success and a cancel")
        << QStringList{"succeed", "cancel", "fail"} << false;
}

void JobEndingRulesTest::failureAndSuccessRace()
{
    QFETCH(QStringList, calls);
    QFETCH(bool, failed);
    JobEnding ending("image", nullptr);
    makeJobFiles(ending);
    QSignalSpy reports(&ending, &JobEnding::sig_sendProgress);
    QSignalSpy stopping(&ending, &JobEnding::stopping);

    // Both ends arrive from the event loop in the same turn, as a tool's end and a timer may.
    QList<bool> accepted;
    for (const QString& call : calls) {
        QTimer::singleShot(0, &ending, [&ending, &accepted, call] {
            if (call == "fail")
                accepted.append(ending.fail("the tool said no"));
            else if (call == "succeed")
                accepted.append(ending.succeed(0.5f));
            else
                ending.cancel();
        });
    }
    QTRY_COMPARE(accepted.size(), calls.count("fail") + calls.count("succeed"));
    QCoreApplication::processEvents();

    QCOMPARE(accepted.first(), true);
    QCOMPARE(accepted.count(true), 1);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(stopping.size(), 1);
    QVERIFY(ending.isOver());
    QCOMPARE(ProgressReport::at(reports, 0).progress, failed ? -1.0f : 1.0f);
    QCOMPARE(ProgressReport::at(reports, 0).stat, !failed);
    QCOMPARE(TestEnv::logLines().size(), failed ? 1 : 0);
}

void JobEndingRulesTest::reportFields()
{
    JobEnding failing("video", nullptr);
    failing.setInput(path("clip.mkv"));
    failing.setOutput(path("c_clip.mkv"));
    QSignalSpy failure(&failing, &JobEnding::sig_sendProgress);
    QVERIFY(failing.fail("went silent"));
    QCOMPARE(failure.size(), 1);
    const ProgressReport failed = ProgressReport::at(failure, 0);
    QCOMPARE(failed.progress, -1.0f);
    QCOMPARE(failed.stat, false);
    QCOMPARE(failed.filePath, QString()); // a failure has no output
    QCOMPARE(failed.rate, 0.0f);
    QCOMPARE(TestEnv::logLines(), QStringList{"video compress fail " + path("clip.mkv") + ": went silent"});

    JobEnding succeeding("video", nullptr);
    succeeding.setOutput(path("c_clip.mkv"));
    QSignalSpy success(&succeeding, &JobEnding::sig_sendProgress);
    QVERIFY(succeeding.succeed(0.25f, 0.96f));
    QCOMPARE(success.size(), 1);
    const ProgressReport result = ProgressReport::at(success, 0);
    QCOMPARE(result.progress, 0.96f); // the video engine's frame ratio, not a forced 1.0
    QCOMPARE(result.stat, true);
    QCOMPARE(result.filePath, path("c_clip.mkv"));
    QCOMPARE(result.rate, 0.25f);
    QCOMPARE(TestEnv::logLines().size(), 1);
}

void JobEndingRulesTest::progressOnlyWhileRunning()
{
    JobEnding ending("doc", nullptr);
    ending.setOutput(path("c_a.docx"));
    QSignalSpy reports(&ending, &JobEnding::sig_sendProgress);
    ending.progress(0.1f, path("c_a.docx"));
    ending.progress(0.45f, QString());
    QVERIFY(ending.succeed(0.5f));
    ending.progress(0.9f, path("c_a.docx"));
    QCOMPARE(reports.size(), 3);
    QCOMPARE(ProgressReport::at(reports, 0).progress, 0.1f);
    QCOMPARE(ProgressReport::at(reports, 0).stat, false);
    QCOMPARE(ProgressReport::at(reports, 0).filePath, path("c_a.docx"));
    QCOMPARE(ProgressReport::at(reports, 0).rate, 0.0f);
    QCOMPARE(ProgressReport::at(reports, 1).filePath, QString());
    QCOMPARE(ProgressReport::at(reports, 2).stat, true);
}

void JobEndingRulesTest::nothingAfterCancel()
{
    JobEnding ending("pdf", nullptr);
    makeJobFiles(ending);
    QSignalSpy reports(&ending, &JobEnding::sig_sendProgress);
    QSignalSpy stopping(&ending, &JobEnding::stopping);
    ending.cancel();
    QVERIFY(ending.isOver());
    QVERIFY(ending.wasCancelled());
    QCOMPARE(stopping.size(), 1);
    ending.progress(0.5f, QString());
    QVERIFY(!ending.succeed(0.5f));
    QVERIFY(!ending.fail("too late"));
    ending.cancel();
    QCOMPARE(reports.size(), 0);
    QCOMPARE(stopping.size(), 1);
    QCOMPARE(TestEnv::logLines(), QStringList());
}

void JobEndingRulesTest::cancelAfterReportDoesNothing_data()
{
    QTest::addColumn<bool>("failed");
    QTest::newRow("after a result") << false;
    QTest::newRow("after a failure") << true;
}

void JobEndingRulesTest::cancelAfterReportDoesNothing()
{
    QFETCH(bool, failed);
    JobEnding ending("image", nullptr);
    makeJobFiles(ending);
    QSignalSpy reports(&ending, &JobEnding::sig_sendProgress);
    QSignalSpy stopping(&ending, &JobEnding::stopping);
    QVERIFY(failed ? ending.fail("exit code 1") : ending.succeed(0.5f));

    // The output path is in use again (the file is compressed once more by a new job) and so is the
    // intermediate's name: a late cancel of the ended job touches neither.
    QVERIFY(write(path("c_in.png"), "the next job's result"));
    QVERIFY(write(path("scaled.png"), "the next job's copy"));
    ending.cancel();
    RunningTools::endAll();
    QCOMPARE(reports.size(), 1);
    QCOMPARE(stopping.size(), 1);
    QVERIFY(QFileInfo::exists(path("c_in.png")));
    QVERIFY(QFileInfo::exists(path("scaled.png")));
    QVERIFY(!ending.wasCancelled());
}

void JobEndingRulesTest::programCloseCancels()
{
    JobEnding ending("video", nullptr);
    makeJobFiles(ending);
    ToolProcess* writer = nullptr;
    startWriter("running", &writer);
    connect(&ending, &JobEnding::stopping, writer, &ToolProcess::cancel);
    QSignalSpy reports(&ending, &JobEnding::sig_sendProgress);
    RunningTools::endAll();
    QVERIFY(ending.wasCancelled());
    QVERIFY(!writer->isRunning());
    QVERIFY(!QFileInfo::exists(path("scaled.png")));
    QCOMPARE(reports.size(), 0);
}

void JobEndingRulesTest::whatIsRemoved_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("result") << "succeed";
    QTest::newRow("failure") << "fail";
    QTest::newRow("cancel") << "cancel";
}

void JobEndingRulesTest::whatIsRemoved()
{
    QFETCH(QString, end);

    JobEnding ending("doc", nullptr);
    makeJobFiles(ending); // "c_in.png" is an earlier result
    ToolProcess* tool = nullptr;
    startWriter("running", &tool);
    connect(&ending, &JobEnding::stopping, tool, &ToolProcess::cancel);
    QSignalSpy stopping(&ending, &JobEnding::stopping);

    if (end == "succeed")
        QVERIFY(ending.succeed(0.5f));
    else if (end == "fail")
        QVERIFY(ending.fail("exit code 1"));
    else
        ending.cancel();

    QCOMPARE(stopping.size(), 1);
    QVERIFY(!tool->isRunning()); // stopped before anything was removed
    // Intermediate files and folders go at every end; the input and the output stay as they were.
    QVERIFY(!QFileInfo::exists(path("scaled.png")));
    QVERIFY(!QFileInfo::exists(path("work")));
    QVERIFY(QFileInfo::exists(path("in.png")));
    QFile output(path("c_in.png"));
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), QByteArray("an earlier result"));
}

void JobEndingRulesTest::inputIsNeverRemoved()
{
    // A job whose output is its input, listed among the intermediates too, through a link to its folder.
    JobEnding ending("pdf", nullptr);
    QVERIFY(QDir().mkpath(path("folder")));
    QVERIFY(QFile::link(path("folder"), path("link")));
    QVERIFY(write(path("folder/one.pdf"), "input"));
    ending.setInput(path("folder/one.pdf"));
    ending.setOutput(path("link/./one.pdf"));
    ending.addIntermediate(path("link/one.pdf"));
    QVERIFY(ending.fail("the merge failed"));
    QVERIFY(QFileInfo::exists(path("folder/one.pdf")));
}

QTEST_GUILESS_MAIN(JobEndingRulesTest)
#include "tst_jobendingrules.moc"
