#include <cmath>
#include <limits>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "DpiScale.h"
#include "ListItemWidget.h"
#include "TestEnv.h"
#include "TextWidths.h"
#include "UrlRecorder.h"

// Only for the signal spy: the window's own connections are direct and need no registration.
Q_DECLARE_METATYPE(QListWidgetItem*)

namespace
{
QStringList g_debugLines;

void recordDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg)
        g_debugLines << text;
}
} // namespace

// A file list row driven through its whole report sequence, with real files behind it.
class TestListItemWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void construction();
    void reportSequence();
    void finishedWithoutRate();
    void failure();
    void failureAfterAResult();
    void reportAfterHiddenBar();
    void rateBeforeOutput();
    void outputOfThreeGiB();
    void progressOutsideTheBar_data();
    void progressOutsideTheBar();
    void elisionAt100_data();
    void elisionAt100();
    void removeEmitsOnlyItsItem();
    void openFollowsTheResult();
    void openNothingWhenGone();
    void numberAndSourceSize();

private:
    QString makeFile(const QString& name, qint64 size);
    ListItemWidget* makeRow(const QString& path);
    QLabel* label(const char* name) const { return m_row->findChild<QLabel*>(name); }
    QProgressBar* bar() const { return m_row->findChild<QProgressBar*>("sliderProgress"); }
    QPushButton* button(const char* name) const { return m_row->findChild<QPushButton*>(name); }

    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<QListWidget> m_list;
    QListWidgetItem* m_item = nullptr;
    ListItemWidget* m_row = nullptr;
    QString m_input;
    QtMessageHandler m_previousHandler = nullptr;
};

void TestListItemWidget::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    TestEnv::isolate(*m_dir);
    m_list.reset(new QListWidget);
    m_input = makeFile(QString::fromUtf8("片段.mp4"), 2 * 1048576);
    m_row = makeRow(m_input);
    g_debugLines.clear();
    m_previousHandler = qInstallMessageHandler(recordDebug);
}

void TestListItemWidget::cleanup()
{
    qInstallMessageHandler(m_previousHandler);
    m_list.reset();
    m_row = nullptr;
    dpiScale = 1.0f;
}

QString TestListItemWidget::makeFile(const QString& name, qint64 size)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return QString();
    return path;
}

ListItemWidget* TestListItemWidget::makeRow(const QString& path)
{
    m_item = new QListWidgetItem(m_list.data());
    auto* row = new ListItemWidget(m_item, "3", path, "mp4", "2.00MB");
    m_item->setSizeHint(row->size());
    m_list->setItemWidget(m_item, row);
    return row;
}

void TestListItemWidget::construction()
{
    QCOMPARE(label("labelNumber")->text(), QString("3"));
    QCOMPARE(label("labelFileName")->text(), QString::fromUtf8("片段.mp4"));
    QCOMPARE(label("labelFileName")->toolTip(), QString());
    QCOMPARE(label("labelFormat")->text(), QString("mp4"));
    QCOMPARE(label("labelSize")->text(), QString("2.00MB"));
    QCOMPARE(label("labelCompSize")->text(), QString());
    QCOMPARE(label("labelCompRate")->text(), QString());
    // Waiting: the bar at 0, no state.
    QVERIFY(!bar()->isHidden());
    QCOMPARE(bar()->value(), 0);
    QVERIFY(label("labelStat")->isHidden());
    QVERIFY(m_row->styleSheet().contains("QProgressBar"));
    QCOMPARE(m_row->styleSheet(), readStyleSheet(":/ListWidgetItem.css"));
    // The name is measured and drawn in the sheet's font.
    QCOMPARE(label("labelFileName")->font().pixelSize(), 14);
}

void TestListItemWidget::reportSequence()
{
    const QString output = makeFile(QString::fromUtf8("c_片段.mp4"), 1572864);
    qRegisterMetaType<QListWidgetItem*>();
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    QSignalSpy removed(m_row, &ListItemWidget::sig_remove);

    m_row->slot_setProgress(0.0f, false, QString(), 0.0f);
    QCOMPARE(bar()->value(), 0);
    m_row->slot_setProgress(0.5f, false, QString(), 0.0f);
    QCOMPARE(bar()->value(), 50);
    m_row->slot_setProgress(0.999f, false, QString(), 0.0f);
    QCOMPARE(bar()->value(), 99); // truncated, not rounded
    QVERIFY(!bar()->isHidden());
    QVERIFY(label("labelStat")->isHidden());
    QCOMPARE(finished.count(), 0);
    QVERIFY(g_debugLines.isEmpty());

    m_row->slot_setProgress(1.0f, true, output, 0.4567f);
    QVERIFY(bar()->isHidden());
    QVERIFY(!label("labelStat")->isHidden());
    QCOMPARE(label("labelStat")->text(), QString::fromUtf8("已完成"));
    QCOMPARE(label("labelCompRate")->text(), QString("45.67%"));
    QCOMPARE(label("labelCompSize")->text(), QString("1.50MB"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(g_debugLines, QStringList{"send finish"});
}

void TestListItemWidget::finishedWithoutRate()
{
    const QString output = makeFile("c_out.mp4", 1000);
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    m_row->slot_setProgress(1.0f, true, output, 0.0f);
    QCOMPARE(label("labelStat")->text(), QString::fromUtf8("已完成"));
    QVERIFY(bar()->isHidden());
    QCOMPARE(label("labelCompRate")->text(), QString());
    QCOMPARE(label("labelCompSize")->text(), QString());
    QCOMPARE(finished.count(), 1);
    // A rate at the threshold itself shows nothing either.
    m_row->slot_setProgress(1.0f, false, output, 0.0001f);
    QCOMPARE(label("labelCompRate")->text(), QString());
}

void TestListItemWidget::failure()
{
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    m_row->slot_setProgress(0.4f, false, QString(), 0.0f);
    m_row->slot_setProgress(-1.0f, false, QString(), 0.0f);
    QVERIFY(bar()->isHidden());
    QVERIFY(!label("labelStat")->isHidden());
    QCOMPARE(label("labelStat")->text(), QString::fromUtf8("压缩失败"));
    QCOMPARE(bar()->value(), 40); // -100 is outside the bar: left as it was
    QCOMPARE(label("labelCompRate")->text(), QString());
    QCOMPARE(label("labelCompSize")->text(), QString());
    QCOMPARE(finished.count(), 1);
    QVERIFY(g_debugLines.isEmpty());

    UrlRecorder recorder;
    QTest::mouseClick(button("btnOpenFile"), Qt::LeftButton);
    QCOMPARE(recorder.urls(), QList<QUrl>{QUrl::fromLocalFile(m_input)});
}

void TestListItemWidget::failureAfterAResult()
{
    const QString output = makeFile("c_out.mp4", 1048576);
    m_row->slot_setProgress(1.0f, true, output, 0.5f);
    QCOMPARE(label("labelCompSize")->text(), QString("1.00MB"));
    // The figures belong to the earlier result, not to the failed run.
    m_row->slot_setProgress(-1.0f, false, QString(), 0.0f);
    QCOMPARE(label("labelStat")->text(), QString::fromUtf8("压缩失败"));
    QCOMPARE(label("labelCompRate")->text(), QString());
    QCOMPARE(label("labelCompSize")->text(), QString());
}

void TestListItemWidget::reportAfterHiddenBar()
{
    m_row->slot_setProgress(-1.0f, false, QString(), 0.0f);
    QVERIFY(bar()->isHidden());
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    m_row->slot_setProgress(0.3f, false, QString(), 0.0f);
    QVERIFY(!bar()->isHidden());
    QVERIFY(label("labelStat")->isHidden());
    QCOMPARE(bar()->value(), 30);
    QCOMPARE(finished.count(), 0);

    // After a finish as well.
    m_row->slot_setProgress(1.0f, true, m_input, 0.0f);
    QVERIFY(bar()->isHidden());
    m_row->slot_setProgress(0.1f, false, QString(), 0.0f);
    QVERIFY(!bar()->isHidden());
    QVERIFY(label("labelStat")->isHidden());
    QCOMPARE(bar()->value(), 10);
}

void TestListItemWidget::rateBeforeOutput()
{
    // A rate reported before any output was kept is measured on no file.
    m_row->slot_setProgress(0.5f, false, m_input, 0.5f);
    QCOMPARE(label("labelCompRate")->text(), QString("50.00%"));
    QCOMPARE(label("labelCompSize")->text(), QString("0.00MB"));
    QCOMPARE(bar()->value(), 50);
}

void TestListItemWidget::outputOfThreeGiB()
{
    // A sparse file: 3 GiB of size without the disk space.
    const QString output = makeFile("c_big.mp4", qint64(3) * 1024 * 1048576);
    QVERIFY2(!output.isEmpty(), "cannot make a sparse 3 GiB file");
    m_row->slot_setProgress(1.0f, true, output, 0.75f);
    QCOMPARE(label("labelCompSize")->text(), QString("3072.00MB"));
    QCOMPARE(label("labelCompRate")->text(), QString("75.00%"));
    QFile::remove(output);
}

void TestListItemWidget::progressOutsideTheBar_data()
{
    const float inf = std::numeric_limits<float>::infinity();
    QTest::addColumn<float>("progress");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("failed");
    // The bar stands at 40 before each report.
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 40 << false;
    QTest::newRow("+inf") << inf << 40 << false;
    QTest::newRow("-inf") << -inf << 40 << true;
    QTest::newRow("1e10") << 1e10f << 40 << false;
    QTest::newRow("-1e10") << -1e10f << 40 << true;
    QTest::newRow("2.5") << 2.5f << 40 << false;
    QTest::newRow("1.0") << 1.0f << 100 << false;
    QTest::newRow("1.005 truncates to 100") << 1.005f << 100 << false;
    QTest::newRow("-0.005 fails, truncates to 0") << -0.005f << 0 << true;
}

void TestListItemWidget::progressOutsideTheBar()
{
    QFETCH(float, progress);
    QFETCH(int, value);
    QFETCH(bool, failed);
    m_row->slot_setProgress(0.4f, false, QString(), 0.0f);
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    m_row->slot_setProgress(progress, false, QString(), 0.0f);
    QCOMPARE(bar()->value(), value);
    QCOMPARE(finished.count(), failed ? 1 : 0);
    QCOMPARE(bar()->isHidden(), failed);
}

void TestListItemWidget::elisionAt100_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("99") << 99;
    QTest::newRow("100") << 100;
    QTest::newRow("101") << 101;
    QTest::newRow("160") << 160;
}

void TestListItemWidget::elisionAt100()
{
    QFETCH(int, width);
    // The name is measured in the label's own (styled) font.
    const QFontMetrics metrics(label("labelFileName")->font());
    const QString name = TextWidths::nameOfWidth(metrics, width, ".png");
    QVERIFY2(!name.isEmpty(), qPrintable(QString("no name %1 pixels wide").arg(width)));

    m_row = makeRow(makeFile(name, 10));
    QLabel* fileName = label("labelFileName");
    if (width <= 100) {
        QCOMPARE(fileName->text(), name);
        QCOMPARE(fileName->toolTip(), QString());
    } else {
        QCOMPARE(fileName->text(), metrics.elidedText(name, Qt::ElideRight, 100));
        QVERIFY(fileName->text() != name);
        QVERIFY(fileName->text().endsWith(QChar(0x2026)));
        QVERIFY(metrics.horizontalAdvance(fileName->text()) <= 100);
        QCOMPARE(fileName->toolTip(), name);
    }

    // The 100 is a plain pixel count: at 1.25 the name, measured in the larger font, is cut to 100
    // pixels all the same.
    dpiScale = 1.25f;
    ListItemWidget scaled(nullptr, "1", m_dir->filePath(name), "png", "0.00MB");
    QLabel* scaledName = scaled.findChild<QLabel*>("labelFileName");
    const QFontMetrics scaledMetrics(scaledName->font());
    QCOMPARE(scaledName->font().pixelSize(), 17);
    QCOMPARE(scaledName->text(), scaledMetrics.elidedText(name, Qt::ElideRight, 100));
    QVERIFY(scaledMetrics.horizontalAdvance(scaledName->text()) <= 100);
}

void TestListItemWidget::removeEmitsOnlyItsItem()
{
    qRegisterMetaType<QListWidgetItem*>();
    QSignalSpy removed(m_row, &ListItemWidget::sig_remove);
    QSignalSpy finished(m_row, &ListItemWidget::sig_compressFinsh);
    UrlRecorder recorder;
    QTest::mouseClick(button("btnRemove"), Qt::LeftButton);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().first().value<QListWidgetItem*>(), m_item);
    QCOMPARE(finished.count(), 0);
    QVERIFY(recorder.urls().isEmpty());
    // The row stays: the window decides.
    QCOMPARE(m_list->count(), 1);
    QCOMPARE(m_list->itemWidget(m_item), m_row);
}

void TestListItemWidget::openFollowsTheResult()
{
    UrlRecorder recorder;
    QTest::mouseClick(button("btnOpenFile"), Qt::LeftButton);
    QCOMPARE(recorder.urls(), QList<QUrl>{QUrl::fromLocalFile(m_input)});

    const QString output = makeFile(QString::fromUtf8("c_片段.mp4"), 100);
    m_row->slot_setProgress(1.0f, true, output, 0.0f);
    recorder.clear();
    QTest::mouseClick(button("btnOpenFile"), Qt::LeftButton);
    QCOMPARE(recorder.urls(), QList<QUrl>{QUrl::fromLocalFile(output)});
}

void TestListItemWidget::openNothingWhenGone()
{
    UrlRecorder recorder;
    QVERIFY(QFile::remove(m_input));
    QTest::mouseClick(button("btnOpenFile"), Qt::LeftButton);
    m_row->slot_openFile();
    QVERIFY(recorder.urls().isEmpty());

    // A finished row whose result was deleted does not fall back on anything either.
    const QString output = makeFile("c_gone.mp4", 100);
    m_row->slot_setProgress(1.0f, true, output, 0.0f);
    QVERIFY(QFile::remove(output));
    m_row->slot_openFile();
    QVERIFY(recorder.urls().isEmpty());
}

void TestListItemWidget::numberAndSourceSize()
{
    QCOMPARE(m_row->sourceWidth(), 0);
    QCOMPARE(m_row->sourceHeight(), 0);
    m_row->setSourceWidth(1920);
    m_row->setSourceHeight(1080);
    QCOMPARE(m_row->sourceWidth(), 1920);
    QCOMPARE(m_row->sourceHeight(), 1080);
    m_row->setNumber(12);
    QCOMPARE(label("labelNumber")->text(), QString("12"));
}

QTEST_MAIN(TestListItemWidget)
#include "tst_listitemwidget.moc"
