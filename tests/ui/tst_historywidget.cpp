#include <memory>

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "DpiScale.h"
#include "FileLock.h"
#include "HistoryFile.h"
#include "HistoryWidget.h"
#include "HistoryWidgetItem.h"
#include "HistoryWriter.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "TextWidths.h"
#include "Tool.h"
#include "UrlRecorder.h"
#include "WindowDriver.h"

namespace
{
void sendMouse(QWidget* target, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, target->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QList<QStringList> videoEntriesInTheFile()
{
    QFile file("history.json");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Json::Value root;
    if (!Json::Reader().parse(QString::fromLocal8Bit(file.readAll()).toStdString(), root, true))
        return {};
    return JsonParsing::readEntries(root, "video");
}
} // namespace

// The history window over a real "history.json" in the working folder of each test.
class TestHistoryWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fillsFromTheFile();
    void showingTwiceShowsEachRecordOnce();
    void clearEmptiesOnlyTheShownKind();
    void missingFileShowsNoRows();
    void namesOpenTheirFiles();
    void goneFilesOpenNothing();
    void elisionAt80_data();
    void elisionAt80();
    void rowsScaleWithTheFactor();
    void closeButtonHides();
    void dragWithLeftButton();
    void otherButtonsDoNotDrag();
    void anotherProgramsLockHoldsNoStep();
    void longHistoryMakesRowsOnlyInView();
    void clearButtonShowsWhole_data();
    void clearButtonShowsWhole();

private:
    QString makeFile(const QString& name);
    QListWidget* list() const { return m_window->findChild<QListWidget*>("listWidget"); }
    HistoryWidgetItem* row(int i) const
    {
        return qobject_cast<HistoryWidgetItem*>(list()->itemWidget(list()->item(i)));
    }
    static QPushButton* button(QWidget* row, const char* name) { return row->findChild<QPushButton*>(name); }

    std::unique_ptr<TestFolder> m_dir;
    QScopedPointer<HistoryWidget> m_window;
    QString m_in1, m_out1, m_in2, m_out2, m_video;
};

void TestHistoryWidget::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(g_AppDataPath + "/Vornix")); // the log folder, so the log holds only our lines
    QVERIFY(JsonParsing::initHistory());
    m_in1 = makeFile(QString::fromUtf8("照.png"));
    m_out1 = makeFile(QString::fromUtf8("c_照.png"));
    m_in2 = makeFile("b.jpg");
    m_out2 = makeFile("c_b.jpg");
    m_video = makeFile("clip.mp4");
    QVERIFY(JsonParsing::addHistory(Kind::Image, "2024-05-01", m_in1, m_out1));
    QVERIFY(JsonParsing::addHistory(Kind::Video, "2024-05-02", m_video, m_dir->filePath("c_clip.mp4")));
    QVERIFY(JsonParsing::addHistory(Kind::Image, "2024-05-03", m_in2, m_out2));
    m_window.reset(new HistoryWidget);
}

void TestHistoryWidget::cleanup()
{
    m_window.reset();
    m_dir.reset();
    dpiScale = 1.0f;
}

QString TestHistoryWidget::makeFile(const QString& name)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("x");
    return path;
}

void TestHistoryWidget::fillsFromTheFile()
{
    m_window->showHistory(Kind::Image, "history.json");
    QCOMPARE(list()->count(), 2);
    const QString dates[] = {"2024-05-01", "2024-05-03"};
    const QString ins[] = {m_in1, m_in2};
    const QString outs[] = {m_out1, m_out2};
    for (int i = 0; i < 2; ++i) {
        HistoryWidgetItem* r = row(i);
        QVERIFY(r);
        QCOMPARE(r->findChild<QLabel*>("labelDate")->text(), dates[i]);
        QCOMPARE(button(r, "btnInput")->text(), QFileInfo(ins[i]).fileName());
        QCOMPARE(button(r, "btnOutput")->text(), QFileInfo(outs[i]).fileName());
        QCOMPARE(button(r, "btnInput")->toolTip(), ins[i]);
        QCOMPARE(button(r, "btnOutput")->toolTip(), outs[i]);
        QCOMPARE(list()->item(i)->sizeHint(), QSize(468, 40));
        QCOMPARE(r->styleSheet(), readStyleSheet(":/ListWidgetItem.css"));
    }
    QVERIFY(m_window->styleSheet().contains("QFrame#frameHeader"));
    QCOMPARE(m_window->styleSheet(), readStyleSheet(":/historyWidget.css"));
    QCOMPARE(button(row(0), "btnInput")->font().pixelSize(), 14);

    m_window->showHistory(Kind::Video, "history.json");
    QCOMPARE(list()->count(), 1);
    QCOMPARE(button(row(0), "btnInput")->text(), QString("clip.mp4"));
    m_window->showHistory(Kind::Pdf, "history.json");
    QCOMPARE(list()->count(), 0);
}

void TestHistoryWidget::showingTwiceShowsEachRecordOnce()
{
    m_window->showHistory(Kind::Image, "history.json");
    QPointer<HistoryWidgetItem> first = row(0);
    m_window->showHistory(Kind::Image, "history.json");
    QCOMPARE(list()->count(), 2);
    // The rows of the earlier showing are gone with their items.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
}

void TestHistoryWidget::clearEmptiesOnlyTheShownKind()
{
    const QList<QStringList> videoBefore = JsonParsing::readHistory(Kind::Video, "history.json");
    QCOMPARE(videoBefore.size(), 1);
    m_window->showHistory(Kind::Image, "history.json");
    QTest::mouseClick(m_window->findChild<QPushButton*>("btnClear"), Qt::LeftButton);
    QCOMPARE(list()->count(), 0);
    QVERIFY(JsonParsing::readHistory(Kind::Image, "history.json").isEmpty());
    QCOMPARE(JsonParsing::readHistory(Kind::Video, "history.json"), videoBefore);
    QVERIFY(HistoryWriter::instance().flush()); // the clear is written on the history's own thread

    // The file keeps its five arrays, the image one now empty.
    QFile file("history.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    for (const char* key : {"\"video\"", "\"image\"", "\"pdf\"", "\"ppt\"", "\"word\""})
        QVERIFY2(text.contains(key), key);
    QVERIFY(text.contains(QFile::encodeName(m_video)));
    QVERIFY(!text.contains("b.jpg"));

    // Shown again, the kind has no rows; new records show up.
    QVERIFY(JsonParsing::addHistory(Kind::Image, "2024-06-01", m_in2, m_out2));
    m_window->showHistory(Kind::Image, "history.json");
    QCOMPARE(list()->count(), 1);
}

void TestHistoryWidget::missingFileShowsNoRows()
{
    m_window->showHistory(Kind::Image, "history.json");
    QCOMPARE(list()->count(), 2);
    m_window->showHistory(Kind::Image, m_dir->filePath("missing.json"));
    QCOMPARE(list()->count(), 0);
    // The store reports the file it could not open, then the empty text it could not parse.
    const QStringList log = TestEnv::logLines();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0], QString("parsing history json fail: can not open file"));
    QVERIFY(log[1].startsWith("parsing history json fail: "));
}

void TestHistoryWidget::namesOpenTheirFiles()
{
    UrlRecorder recorder;
    m_window->showHistory(Kind::Image, "history.json");
    QTest::mouseClick(button(row(0), "btnInput"), Qt::LeftButton);
    QTest::mouseClick(button(row(1), "btnOutput"), Qt::LeftButton);
    QCOMPARE(recorder.urls(), (QList<QUrl>{QUrl::fromLocalFile(m_in1), QUrl::fromLocalFile(m_out2)}));
}

void TestHistoryWidget::goneFilesOpenNothing()
{
    UrlRecorder recorder;
    m_window->showHistory(Kind::Video, "history.json");
    // The video's output was never written; its row shows all the same.
    QCOMPARE(list()->count(), 1);
    QTest::mouseClick(button(row(0), "btnOutput"), Qt::LeftButton);
    QVERIFY(QFile::remove(m_video));
    QTest::mouseClick(button(row(0), "btnInput"), Qt::LeftButton);
    QVERIFY(recorder.urls().isEmpty());
}

void TestHistoryWidget::elisionAt80_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("79") << 79;
    QTest::newRow("80") << 80;
    QTest::newRow("81") << 81;
    QTest::newRow("140") << 140;
}

void TestHistoryWidget::elisionAt80()
{
    QFETCH(int, width);
    QListWidget owner;
    HistoryWidgetItem probe(&owner, "2024-01-01", "/a", "/b");
    // Names are measured in the input button's own (styled) font.
    const QFontMetrics metrics(button(&probe, "btnInput")->font());
    const QString name = TextWidths::nameOfWidth(metrics, width, ".gif");
    QVERIFY2(!name.isEmpty(), qPrintable(QString("no name %1 pixels wide").arg(width)));

    const QString in = "/photos/" + name;
    const QString out = "/photos/c_" + name;
    HistoryWidgetItem row(&owner, "2024-01-01", in, out);
    const QString shown = button(&row, "btnInput")->text();
    if (width <= 80) {
        QCOMPARE(shown, name);
    } else {
        QCOMPARE(shown, metrics.elidedText(name, Qt::ElideRight, 80));
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QVERIFY(metrics.horizontalAdvance(shown) <= 80);
    }
    // The output name is longer still and always cut; both tool tips give the full paths.
    QCOMPARE(button(&row, "btnOutput")->text(), metrics.elidedText("c_" + name, Qt::ElideRight, 80));
    QCOMPARE(button(&row, "btnInput")->toolTip(), in);
    QCOMPARE(button(&row, "btnOutput")->toolTip(), out);

    // 80 is a plain pixel count: at 1.25 the larger font cuts the name to 80 pixels too.
    dpiScale = 1.25f;
    HistoryWidgetItem scaled(&owner, "2024-01-01", in, out);
    QPushButton* scaledInput = button(&scaled, "btnInput");
    const QFontMetrics scaledMetrics(scaledInput->font());
    QCOMPARE(scaledInput->font().pixelSize(), 17);
    QCOMPARE(scaledInput->text(), scaledMetrics.elidedText(name, Qt::ElideRight, 80));
    QVERIFY(scaledMetrics.horizontalAdvance(scaledInput->text()) <= 80);
}

void TestHistoryWidget::rowsScaleWithTheFactor()
{
    dpiScale = 1.25f;
    HistoryWidget window;
    window.showHistory(Kind::Image, "history.json");
    auto* rows = window.findChild<QListWidget*>("listWidget");
    QCOMPARE(rows->count(), 2);
    QCOMPARE(rows->item(0)->sizeHint(), QSize(585, 50));
}

void TestHistoryWidget::closeButtonHides()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    QTest::mouseClick(m_window->findChild<QPushButton*>("btnClose"), Qt::LeftButton);
    QVERIFY(m_window->isHidden());
    m_window->show();
    QVERIFY(m_window->isVisible());
}

void TestHistoryWidget::dragWithLeftButton()
{
    m_window->move(100, 50);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    const QPoint start = m_window->pos();
    const QPoint grab(200, 20);
    const QPoint grabGlobal = m_window->mapToGlobal(grab);
    sendMouse(m_window.data(), QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    sendMouse(m_window.data(), QEvent::MouseMove, grab + QPoint(25, 35), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), start + QPoint(25, 35));
    QCOMPARE(m_window->mapToGlobal(grab), grabGlobal + QPoint(25, 35));
    // The travel since the last move, whatever buttons are held.
    sendMouse(m_window.data(), QEvent::MouseMove, grab + QPoint(-10, 0), Qt::NoButton, Qt::RightButton);
    QCOMPARE(m_window->pos(), start + QPoint(15, 35));
    // A press on the title frame reaches the window as well.
    sendMouse(m_window.data(), QEvent::MouseButtonRelease, grab, Qt::LeftButton, Qt::NoButton);
    sendMouse(m_window.data(), QEvent::MouseMove, grab + QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), start + QPoint(15, 35));
    auto* title = m_window->findChild<QFrame*>("frameTitle");
    sendMouse(title, QEvent::MouseButtonPress, QPoint(100, 10), Qt::LeftButton, Qt::LeftButton);
    sendMouse(title, QEvent::MouseMove, QPoint(100, 10) + QPoint(5, 5), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), start + QPoint(20, 40));
}

void TestHistoryWidget::otherButtonsDoNotDrag()
{
    m_window->move(80, 80);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    const QPoint start = m_window->pos();
    sendMouse(m_window.data(), QEvent::MouseButtonPress, QPoint(200, 20), Qt::RightButton, Qt::RightButton);
    sendMouse(m_window.data(), QEvent::MouseMove, QPoint(260, 60), Qt::NoButton, Qt::RightButton);
    QCOMPARE(m_window->pos(), start);
    // A drag under way is not ended by another button's release.
    sendMouse(m_window.data(), QEvent::MouseButtonPress, QPoint(200, 20), Qt::LeftButton, Qt::LeftButton);
    sendMouse(m_window.data(), QEvent::MouseButtonRelease, QPoint(200, 20), Qt::RightButton, Qt::LeftButton);
    sendMouse(m_window.data(), QEvent::MouseMove, QPoint(210, 30), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), start + QPoint(10, 10));
}

void TestHistoryWidget::anotherProgramsLockHoldsNoStep()
{
    // Another program holds the history's lock through all the steps below; none of them waits for it.
    VX_REQUIRE_TOOL("flock");
    QVERIFY(QFile::remove("history.json")); // start-up makes it anew, the lock held
    const QString lockPath = HistoryFile::lockPath();
    QProcess holder;
    holder.start(TestEnv::findTool("flock"), {"--no-fork", lockPath, "sleep", "30"});
    const auto endHolder = qScopeGuard([&holder] {
        holder.kill();
        holder.waitForFinished(10000);
    });
    QVERIFY(holder.waitForStarted(10000));
    QTRY_VERIFY(FileLock(lockPath, 0).isBusy());

    MainWidget window;
    QVERIFY(QFile::exists("history.json"));
    // As a file sent off hands in its entry; 历史记录 shows it while it waits to be written.
    const QString video = m_dir->filePath("c_clip.mp4");
    HistoryWriter::instance().append(Kind::Video, "2024-06-01", m_video, video);
    QTest::mouseClick(window.findChild<QPushButton*>("btnHistory"), Qt::LeftButton);
    HistoryWidget* history = WindowDriver::shownHistoryWindow();
    QVERIFY(history);
    auto* rows = history->findChild<QListWidget*>("listWidget");
    QCOMPARE(rows->count(), 1);
    auto* first = qobject_cast<HistoryWidgetItem*>(rows->itemWidget(rows->item(0)));
    QVERIFY(first);
    QCOMPARE(first->findChild<QLabel*>("labelDate")->text(), QString("2024-06-01"));
    QCOMPARE(button(first, "btnOutput")->toolTip(), video);
    // 清空记录 empties the rows at once; an entry handed in after it is shown alone.
    QTest::mouseClick(history->findChild<QPushButton*>("btnClear"), Qt::LeftButton);
    QCOMPARE(rows->count(), 0);
    HistoryWriter::instance().append(Kind::Video, "2024-06-02", m_in2, m_out2);
    history->showHistory(Kind::Video, "history.json");
    QCOMPARE(rows->count(), 1);
    QCOMPARE(button(qobject_cast<HistoryWidgetItem*>(rows->itemWidget(rows->item(0))), "btnInput")->toolTip(),
             m_in2);
    QCOMPARE(holder.state(), QProcess::Running);
    QVERIFY(FileLock(lockPath, 0).isBusy());

    // Once the other program lets go, the file takes the changes in the order they came.
    QVERIFY(videoEntriesInTheFile().isEmpty());
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
    QTRY_COMPARE(videoEntriesInTheFile(), (QList<QStringList>{{"2024-06-02", m_in2, m_out2}}));
}

void TestHistoryWidget::longHistoryMakesRowsOnlyInView()
{
    const int records = 50000;
    Json::Value root(Json::objectValue);
    for (int i = 0; i < records; ++i)
        JsonParsing::appendEntry(root, "image", QString("2024-05-%1").arg(i % 28 + 1, 2, 10, QChar('0')),
                                 QString("/photos/IMG_%1.png").arg(i),
                                 QString("/photos/c_IMG_%1.jpg").arg(i));
    QFile file("history.json");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromStdString(Json::StyledWriter().write(root)).toLocal8Bit());
    file.close();

    m_window->show();
    m_window->showHistory(Kind::Image, "history.json");
    QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    QCOMPARE(list()->count(), records);
    const auto liveRows = [this] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return m_window->findChildren<HistoryWidgetItem*>().size();
    };
    const int bound = 200; // a few pages of rows, whatever the length of the history
    QVERIFY(row(0));
    QCOMPARE(button(row(0), "btnInput")->toolTip(), QString("/photos/IMG_0.png"));
    QVERIFY2(liveRows() <= bound, qPrintable(QString::number(liveRows())));

    list()->scrollToBottom();
    QTRY_VERIFY(row(records - 1));
    HistoryWidgetItem* last = row(records - 1);
    QCOMPARE(last->findChild<QLabel*>("labelDate")->text(),
             QString("2024-05-%1").arg((records - 1) % 28 + 1));
    QCOMPARE(button(last, "btnInput")->toolTip(), QString("/photos/IMG_%1.png").arg(records - 1));
    QCOMPARE(button(last, "btnOutput")->toolTip(), QString("/photos/c_IMG_%1.jpg").arg(records - 1));
    QCOMPARE(button(last, "btnInput")->text(),
             QFontMetrics(button(last, "btnInput")->font()).elidedText("IMG_49999.png", Qt::ElideRight, 80));
    QVERIFY(list()->visualItemRect(list()->item(records - 1)).intersects(list()->viewport()->rect()));
    QVERIFY(last->isVisible());
    QVERIFY(last->geometry().intersects(list()->viewport()->rect()));
    QVERIFY(!row(0)); // far out of view: dropped
    QVERIFY2(liveRows() <= bound, qPrintable(QString::number(liveRows())));
}

void TestHistoryWidget::clearButtonShowsWhole_data()
{
    QTest::addColumn<float>("factor");
    QTest::newRow("1.0") << 1.0f;
    QTest::newRow("1.5") << 1.5f;
}

void TestHistoryWidget::clearButtonShowsWhole()
{
    QFETCH(float, factor);
    dpiScale = factor;
    HistoryWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* clear = window.findChild<QPushButton*>("btnClear");
    auto* frame = window.findChild<QFrame*>("frameMain");
    const QRect button(clear->mapTo(frame, QPoint(0, 0)), clear->size());
    // The whole text fits the button, and the button lies inside the window's white frame with room
    // below it, not on its edge.
    QVERIFY(clear->height() >= QFontMetrics(clear->font()).height());
    QVERIFY(frame->rect().contains(button));
    QVERIFY2(frame->height() - button.bottom() > 8,
             qPrintable(QString::number(frame->height() - button.bottom())));
}

QTEST_MAIN(TestHistoryWidget)
#include "tst_historywidget.moc"
