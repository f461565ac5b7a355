#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QtTest>

#include "FileIdentity.h"
#include "FileLock.h"
#include "JsonParsing.h"
#include "OutputPaths.h"
#include "PathKey.h"
#include "PlacedResults.h"
#include "ResultPlacement.h"
#include "TestFolder.h"

namespace
{
// An input that is not on the disk: nothing is recorded for it.
const QString kInput = "/in/x.png";

bool write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One run of `input` that writes `bytes` as its result, wanted at `wanted`, as the window claims it
// and the settling thread places it; where it was placed.
QString runOnce(const QString& input, const QString& wanted, const QByteArray& bytes)
{
    const QString made = QFileInfo(input).path() + "/made";
    if (!write(made, bytes))
        return "cannot write " + made;
    OutputPaths::reset();
    QString failure;
    const QString placed = ResultPlacement::place(ResultPlacement::How::Move, made, input,
                                                  OutputPaths::claim(wanted, input), nullptr, &failure);
    return placed.isEmpty() ? failure : placed;
}
} // namespace

// The output paths of one run: a free path stays as it is, a taken one gets a number before its
// extension, and no output takes the path of a queued input.
class TestOutputPaths : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void numbered_data();
    void numbered();
    void clashesGetTheNextFreeNumber();
    void queuedInputsAreNeverGiven();
    void samePathWrittenDifferentlyIsOnePath();
    void resetStartsANewRun();
    void releasedPathIsGivenAgain();
    void fileThereIsReplacedOnlyWhenRecordedForTheInput_data();
    void fileThereIsReplacedOnlyWhenRecordedForTheInput();
    void recordCutShortCostsOnlyItsOwnLine();
    void editThatKeepsSizeAndTimeIsKept_data();
    void editThatKeepsSizeAndTimeIsKept();
};

void TestOutputPaths::init()
{
    OutputPaths::reset();
}

void TestOutputPaths::numbered_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("second");

    QTest::newRow("one suffix") << "/d/c_x.png"
                                << "/d/c_x_2.png";
    QTest::newRow("several dots") << "/d/c_a.b.pdf"
                                  << "/d/c_a.b_2.pdf";
    QTest::newRow("no suffix") << "/d/c_x"
                               << "/d/c_x_2";
    QTest::newRow("dot in the folder only") << "/d.e/c_x"
                                            << "/d.e/c_x_2";
    QTest::newRow("hidden name") << "/d/.c"
                                 << "/d/.c_2";
    QTest::newRow("non-ASCII, blanks")
        << QString::fromUtf8("/照片 夹/c_照片 1.jpg") << QString::fromUtf8("/照片 夹/c_照片 1_2.jpg");
}

void TestOutputPaths::numbered()
{
    QFETCH(QString, path);
    QFETCH(QString, second);
    QCOMPARE(OutputPaths::numbered(path, 2), second);
}

void TestOutputPaths::clashesGetTheNextFreeNumber()
{
    // "x.1.png" and "x.2.png" both want "c_x.png"; a third, "x.3.png", wants it too.
    QCOMPARE(OutputPaths::claim("/out/c_x.png", kInput), QString("/out/c_x.png"));
    QCOMPARE(OutputPaths::claim("/out/c_x.png", kInput), QString("/out/c_x_2.png"));
    QCOMPARE(OutputPaths::claim("/out/c_x.png", kInput), QString("/out/c_x_3.png"));
    // A name that happens to be a numbered one is taken in its own right.
    QCOMPARE(OutputPaths::claim("/out/c_x_4.png", kInput), QString("/out/c_x_4.png"));
    QCOMPARE(OutputPaths::claim("/out/c_x.png", kInput), QString("/out/c_x_5.png"));
    // Other names and other folders are not touched.
    QCOMPARE(OutputPaths::claim("/out/c_y.png", kInput), QString("/out/c_y.png"));
    QCOMPARE(OutputPaths::claim("/other/c_x.png", kInput), QString("/other/c_x.png"));
}

void TestOutputPaths::queuedInputsAreNeverGiven()
{
    // "a.png" and "c_a.png" are both queued: a.png's output would replace the other input.
    OutputPaths::protect({"/in/a.png", "/in/c_a.png", "/in/c_a_2.png"});
    QCOMPARE(OutputPaths::claim("/in/c_a.png", kInput), QString("/in/c_a_3.png"));
    QCOMPARE(OutputPaths::claim("/in/c_c_a.png", kInput), QString("/in/c_c_a.png"));
}

void TestOutputPaths::samePathWrittenDifferentlyIsOnePath()
{
    const QString current = QDir::currentPath();
    QCOMPARE(OutputPaths::claim(current + "/sub/../c_z.png", kInput), current + "/sub/../c_z.png");
    QCOMPARE(OutputPaths::claim(current + "//c_z.png", kInput), current + "//c_z_2.png");
    QCOMPARE(OutputPaths::claim("c_z.png", kInput), QString("c_z_3.png"));
    // This file system tells case apart.
    QCOMPARE(OutputPaths::claim(current + "/C_Z.png", kInput), current + "/C_Z.png");
}

void TestOutputPaths::resetStartsANewRun()
{
    OutputPaths::protect({"/in/a.png"});
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a.png"));
    OutputPaths::reset();
    // The next run writes its results under the same names again.
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a.png"));
    QCOMPARE(OutputPaths::claim("/in/a.png", kInput), QString("/in/a.png"));
}

void TestOutputPaths::releasedPathIsGivenAgain()
{
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a.png"));
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a_2.png"));
    // A job that writes its output again gives its name back first and gets the same name.
    OutputPaths::release("/out/c_a.png");
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a.png"));
    // The other job keeps its own name: the next one is still numbered past it.
    QCOMPARE(OutputPaths::claim("/out/c_a.png", kInput), QString("/out/c_a_3.png"));
}

void TestOutputPaths::fileThereIsReplacedOnlyWhenRecordedForTheInput_data()
{
    QTest::addColumn<QString>("there");    // what is at "out/c_a.png": "file", "dangling link", "folder"
    QTest::addColumn<QString>("recorded"); // which input it was placed for, if any; "history:" only sent off
    QTest::addColumn<QString>("spelled");  // the output folder as the claim spells it
    QTest::addColumn<bool>("replaced");

    QTest::newRow("the user's own file") << "file"
                                         << ""
                                         << "out" << false;
    QTest::newRow("the earlier result of this input") << "file"
                                                      << "in/a.png"
                                                      << "out" << true;
    QTest::newRow("recorded through a link to the folder") << "file"
                                                           << "in/a.png"
                                                           << "link-to-out" << true;
    QTest::newRow("input recorded through a link to its folder") << "file"
                                                                 << "link-to-in/a.png"
                                                                 << "out" << true;
    QTest::newRow("the result of another input") << "file"
                                                 << "in/a.jpg"
                                                 << "out" << false;
    QTest::newRow("sent off for this input, never placed") << "file"
                                                           << "history:in/a.png"
                                                           << "out" << false;
    QTest::newRow("the earlier result, changed since") << "changed file"
                                                       << "in/a.png"
                                                       << "out" << false;
    QTest::newRow("a dangling link") << "dangling link"
                                     << ""
                                     << "out" << false;
    QTest::newRow("a folder, even one recorded") << "folder"
                                                 << "in/a.png"
                                                 << "out" << false;
}

void TestOutputPaths::fileThereIsReplacedOnlyWhenRecordedForTheInput()
{
    QFETCH(QString, there);
    QFETCH(QString, recorded);
    QFETCH(QString, spelled);
    QFETCH(bool, replaced);

    TestFolder folder; // the program's data folder, with the record of placed results, lies in it
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath("in") && QDir(folder.path()).mkpath("out"));
    QVERIFY(QFile::link(folder.filePath("out"), folder.filePath("link-to-out")));
    QVERIFY(QFile::link(folder.filePath("in"), folder.filePath("link-to-in")));
    for (const QString name : {"in/a.png", "in/a.jpg"}) {
        QFile input(folder.filePath(name));
        QVERIFY(input.open(QIODevice::WriteOnly) && input.write("picture") > 0);
    }
    const QString result = folder.filePath("out/c_a.png");
    if (there.endsWith("file")) {
        QFile file(result);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("someone's") > 0);
    } else if (there == "dangling link") {
        QVERIFY(QFile::link(folder.filePath("nowhere.png"), result));
    } else {
        QVERIFY(QDir().mkpath(result));
    }
    QVERIFY(JsonParsing::initHistory());
    if (recorded.startsWith("history:")) {
        // A job that failed is in the history all the same.
        QVERIFY(JsonParsing::addHistory(1, "2026-01-01", folder.filePath(recorded.mid(8)), result));
    } else if (!recorded.isEmpty()) {
        const auto held = PlacedResults::lock(); // as a placed result is recorded
        QVERIFY(PlacedResults::record(result, folder.filePath(recorded)) || there == "folder");
    }
    if (there == "changed file") {
        QFile file(result);
        QVERIFY(file.open(QIODevice::Append) && file.write(", saved again by the user") > 0);
    }

    const QString wanted = folder.filePath(spelled + "/c_a.png");
    const QString expected = replaced ? wanted : folder.filePath(spelled + "/c_a_2.png");
    QCOMPARE(OutputPaths::claim(wanted, folder.filePath("in/a.png")), expected);
}

void TestOutputPaths::recordCutShortCostsOnlyItsOwnLine()
{
    TestFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath("in") && QDir(folder.path()).mkpath("out"));
    const QString input = folder.filePath("in/a.jpg");
    QVERIFY(write(input, "picture"));
    const QString wanted = folder.filePath("out/c_a.jpg");
    QCOMPARE(runOnce(input, wanted, "first result"), wanted);
    // A crash (or a full disk) cut the record's last line short.
    QVERIFY(write(PlacedResults::filePath(), "{\"output\":\"/elsewhere/c_b.jpg\",\"inp", QIODevice::Append));

    QCOMPARE(runOnce(input, wanted, "second result"), wanted);
    QCOMPARE(runOnce(input, wanted, "third result"), wanted);
    QCOMPARE(bytesOf(wanted), QByteArray("third result"));
    QCOMPARE(QDir(folder.filePath("out")).entryList(QDir::Files), QStringList("c_a.jpg"));
}

void TestOutputPaths::editThatKeepsSizeAndTimeIsKept_data()
{
    QTest::addColumn<bool>("edited");       // the user edits the result in place, keeping its size and time
    QTest::addColumn<bool>("beforeDigest"); // the result's record line was written before digests were kept
    QTest::addColumn<QString>("placedAs");

    QTest::newRow("edited within the file times' grain") << true << false << "c_a_2.png";
    QTest::newRow("unchanged") << false << false << "c_a.png";
    QTest::newRow("unchanged, recorded before digests") << false << true << "c_a.png";
}

void TestOutputPaths::editThatKeepsSizeAndTimeIsKept()
{
    QFETCH(bool, edited);
    QFETCH(bool, beforeDigest);
    QFETCH(QString, placedAs);
    TestFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath("in") && QDir(folder.path()).mkpath("out"));
    const QString input = folder.filePath("in/a.png");
    QVERIFY(write(input, "picture"));
    const QString wanted = folder.filePath("out/c_a.png");
    QCOMPARE(runOnce(input, wanted, "first result"), wanted);
    const FileIdentity placed = FileIdentity::of(wanted);
    if (beforeDigest) {
        // The line as it was written before: the identity alone.
        const QByteArray line = QString("{\"device\":%1,\"input\":\"%2\",\"inode\":%3,\"modified\":%4,"
                                        "\"output\":\"%5\",\"size\":%6}\n")
                                    .arg(placed.device())
                                    .arg(QFileInfo(input).canonicalFilePath())
                                    .arg(placed.inode())
                                    .arg(placed.modifiedNs())
                                    .arg(PathKey::of(wanted))
                                    .arg(placed.size())
                                    .toUtf8();
        QVERIFY(write(PlacedResults::filePath(), line, QIODevice::WriteOnly));
    }
    if (edited) {
        // As on FAT or exFAT, whose times are coarse: the same size, and a time that reads the same.
        struct stat status {
        };
        QCOMPARE(::lstat(QFile::encodeName(wanted).constData(), &status), 0);
        QVERIFY(write(wanted, "FIRST RESULT", QIODevice::ReadWrite));
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(wanted).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
        QVERIFY(FileIdentity::of(wanted) == placed);
    }
    const QByteArray before = bytesOf(wanted);

    QCOMPARE(runOnce(input, wanted, "second result"), folder.filePath("out/" + placedAs));
    QCOMPARE(bytesOf(folder.filePath("out/" + placedAs)), QByteArray("second result"));
    if (edited)
        QCOMPARE(bytesOf(wanted), before);
}

QTEST_GUILESS_MAIN(TestOutputPaths)
#include "tst_outputpaths.moc"
