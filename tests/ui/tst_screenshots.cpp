#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include "DpiScale.h"
#include "FontFallbacks.h"
#include "Kind.h"
#include "WindowsLookStyle.h"
#include "HistoryWidget.h"
#include "JsonParsing.h"
#include "ListItemWidget.h"
#include "QToolTipWidget.h"
#include "TestEnv.h"

// Renders the list row in each state, the message dialog and the history window into the folder
// that VX_SCREENSHOT_DIR names, at the display factor of this screen (QT_FONT_DPI=144 gives 1.5).
// Without the variable there is nothing to do. scripts/screenshots-widgets.sh runs it for
// docs/screenshots at 1.0 and 1.5.
class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rowStates();
    void messageDialog();
    void historyWindow();

private:
    QString makeFile(const QString& name, qint64 size);
    // Saves the shot laid on a light desk, so that the shadows of the translucent windows show.
    void save(const QString& name, QWidget* widget, int margin);

    QString m_outDir;
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestScreenshots::initTestCase()
{
    m_outDir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
    if (m_outDir.isEmpty())
        QSKIP("VX_SCREENSHOT_DIR is not set: no screenshots wanted");
    QVERIFY(QDir().mkpath(m_outDir));
    installFontFallbacks();
    WindowsLookStyle::install();
    initDpiScale();
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    TestEnv::isolate(*m_dir);
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestScreenshots::cleanupTestCase()
{
    if (!m_previousDir.isEmpty())
        QDir::setCurrent(m_previousDir);
}

QString TestScreenshots::makeFile(const QString& name, qint64 size)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return QString();
    return path;
}

void TestScreenshots::save(const QString& name, QWidget* widget, int margin)
{
    const QPixmap shot = widget->grab();
    QImage desk(shot.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    desk.fill(QColor(0xEE, 0xF0, 0xF4));
    QPainter painter(&desk);
    painter.drawPixmap(margin, margin, shot);
    painter.end();
    const QString factor =
        QString::number(double(dpiScale), 'f', dpiScale == 1.25f || dpiScale == 1.75f ? 2 : 1);
    const QString path = QDir(m_outDir).filePath(QString("%1-%2.png").arg(name, factor));
    QVERIFY2(desk.save(path), qPrintable(path));
    QCOMPARE(QImage(path).size(), desk.size());
}

void TestScreenshots::rowStates()
{
    QWidget panel;
    panel.setStyleSheet(readStyleSheet(":/mainWidget.css"));
    auto* layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* list = new QListWidget(&panel);
    list->setObjectName("listWidgetVideo");
    layout->addWidget(list);

    struct Row {
        const char* name;
        const char* format;
        const char* size;
    };
    const Row rows[] = {{"宣传片 2024 终版.mp4", "mp4", "86.42MB"},
                        {"产品照片.png", "png", "3.18MB"},
                        {"年度总结报告.pdf", "pdf", "12.75MB"},
                        {"会议纪要.docx", "docx", "1.06MB"}};
    QList<ListItemWidget*> widgets;
    for (int i = 0; i < 4; ++i) {
        auto* item = new QListWidgetItem(list);
        const QString path = makeFile(QString::fromUtf8(rows[i].name), 1000);
        auto* row = new ListItemWidget(item, QString::number(i + 1), path, rows[i].format, rows[i].size);
        item->setSizeHint(row->size());
        list->setItemWidget(item, row);
        widgets << row;
    }
    // Waiting, running, finished with size and rate, failed.
    widgets[1]->slot_setProgress(0.46f, false, QString(), 0.0f);
    const QString output = makeFile(QString::fromUtf8("c_年度总结报告.pdf"), 4457349);
    widgets[2]->slot_setProgress(1.0f, true, output, 0.3334f);
    widgets[3]->slot_setProgress(-1.0f, false, QString(), 0.0f);

    const int rowHeight = widgets[0]->height();
    panel.resize(widgets[0]->width() + 2, 4 * rowHeight + 8);
    // No row under the cursor or selected: each shows its plain look.
    QCursor::setPos(3000, 3000);
    panel.move(40, 40);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    list->clearSelection();
    list->setCurrentItem(nullptr);
    QCOMPARE(list->count(), 4);
    // Exactly the four rows with their separators, no empty strip below.
    const int rowsBottom = list->visualItemRect(list->item(3)).bottom() + 1;
    panel.resize(panel.width(), rowsBottom + 2 * list->frameWidth());
    QCoreApplication::processEvents();
    save("row-states", &panel, scalePixels(12));
}

void TestScreenshots::messageDialog()
{
    QToolTipWidget dialog;
    dialog.setBtnOpera1(QObject::tr("确定"), true);
    dialog.setBtnOpera2(QObject::tr("取消"), true);
    dialog.setTipText1(QObject::tr("关闭应用"));
    dialog.setTipText2(QObject::tr("软件结束后将结束当前工作进程，确定要退出吗？"), Qt::AlignLeft);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    save("message-dialog", &dialog, scalePixels(12));
}

void TestScreenshots::historyWindow()
{
    QVERIFY(JsonParsing::initHistory());
    const char* const names[] = {"风景照片.jpg", "产品主图 白底.png", "screenshot_20240518_093412.png",
                                 "头像.gif"};
    const char* const dates[] = {"2024-05-16", "2024-05-17", "2024-05-18", "2024-05-20"};
    for (int i = 0; i < 4; ++i) {
        const QString in = m_dir->filePath(QString::fromUtf8(names[i]));
        const QString out = m_dir->filePath("c_" + QString::fromUtf8(names[i]));
        QVERIFY(JsonParsing::addHistory(Kind::Image, dates[i], in, out));
    }
    HistoryWidget window;
    window.showHistory(Kind::Image, "history.json");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    save("history-window", &window, scalePixels(12));
}

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
