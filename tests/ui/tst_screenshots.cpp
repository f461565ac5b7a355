#include <memory>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>
#include <QtTest>

#include "DpiScale.h"
#include "FontFallbacks.h"
#include "HistoryWidget.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "ListItemWidget.h"
#include "QToolTipWidget.h"
#include "TestFolder.h"
#include "WindowsLookStyle.h"

namespace
{
const QColor kDesk(0xEE, 0xF0, 0xF4);

bool hasChinese(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// The colour most pixels of `area` have.
QRgb mostCommonColour(const QImage& area)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            ++counts[area.pixel(x, y)];
    }
    QRgb common = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            common = it.key();
        }
    }
    return common;
}

// Pixels of `area` that differ from its most common colour (its background).
int inkIn(const QImage& area)
{
    const QRgb background = mostCommonColour(area);
    int ink = 0;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            ink += area.pixel(x, y) != background ? 1 : 0;
    }
    return ink;
}

// A size of the forms, at the display factor.
QSize scaled(int width, int height)
{
    return QSize(qRound(width * dpiScale), qRound(height * dpiScale));
}

QString factorName(float factor)
{
    return QString::number(double(factor), 'f', factor == 1.25f || factor == 1.75f ? 2 : 1);
}
} // namespace

// Renders the list row in each state, the message dialog and the history window, and checks each
// shot: it is written, it has the widget's size at the display factor (on a light desk margin),
// it is not blank, the row states look different and the Chinese labels show ink. With
// VX_SCREENSHOT_DIR set, the shots go into that folder at the factor of this screen (QT_FONT_DPI=144
// gives 1.5): scripts/screenshots-widgets.sh makes docs/screenshots so, at 1.0 and 1.5. Without it
// they go into a temporary folder, at 1.0 and 1.5 both.
class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void rowStates_data() { factors(); }
    void rowStates();
    void rowStatesLookDifferent();
    void messageDialog_data() { factors(); }
    void messageDialog();
    void historyWindow_data() { factors(); }
    void historyWindow();

private:
    void factors();
    QString makeFile(const QString& name, qint64 size);
    // Saves the shot laid on a light desk, so that the shadows of the translucent windows show;
    // checks it was written whole, is `size` plus the margins and is not blank. Returns the widget's
    // part of it.
    QImage save(const QString& name, QWidget* widget, const QSize& size);
    // Every visible label under `root` with Chinese text has the glyphs in its font and shows ink in
    // the shot; returns how many there are.
    int checkChineseLabels(const QImage& shot, QWidget* root);

    QString m_outDir;
    float m_screenFactor = 1.0f;
    std::unique_ptr<TestFolder> m_dir;
};

void TestScreenshots::initTestCase()
{
    installFontFallbacks();
    WindowsLookStyle::install();
    initDpiScale();
    m_screenFactor = dpiScale;
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
    m_outDir = qEnvironmentVariable("VX_SCREENSHOT_DIR");
    if (m_outDir.isEmpty())
        m_outDir = m_dir->filePath("shots");
    QVERIFY(QDir().mkpath(m_outDir));
}

void TestScreenshots::cleanupTestCase()
{
    m_dir.reset();
}

void TestScreenshots::cleanup()
{
    dpiScale = m_screenFactor;
}

void TestScreenshots::factors()
{
    QTest::addColumn<float>("factor");
    const QList<float> wanted = qEnvironmentVariableIsSet("VX_SCREENSHOT_DIR") ? QList<float>{m_screenFactor}
                                                                               : QList<float>{1.0f, 1.5f};
    for (const float factor : wanted)
        QTest::newRow(qPrintable(factorName(factor))) << factor;
}

QString TestScreenshots::makeFile(const QString& name, qint64 size)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return QString();
    return path;
}

QImage TestScreenshots::save(const QString& name, QWidget* widget, const QSize& size)
{
    const int margin = scalePixels(12);
    const QPixmap shot = widget->grab();
    QImage desk(shot.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32);
    desk.fill(kDesk);
    QPainter painter(&desk);
    painter.drawPixmap(margin, margin, shot);
    painter.end();
    const QString path = QDir(m_outDir).filePath(QString("%1-%2.png").arg(name, factorName(dpiScale)));
    if (!desk.save(path))
        return QImage();
    const QImage written(path);
    const QSize whole = size + scaled(24, 24);
    if (written.size() != whole) {
        qWarning("%s is %dx%d, not %dx%d", qPrintable(path), written.width(), written.height(), whole.width(),
                 whole.height());
        return QImage();
    }
    // The widget itself shows something, not one flat colour.
    const QImage inner = written.copy(margin, margin, shot.width(), shot.height());
    if (inkIn(inner) < inner.width() * inner.height() / 100) {
        qWarning("%s is blank", qPrintable(path));
        return QImage();
    }
    return written.copy(margin, margin, shot.width(), shot.height());
}

int TestScreenshots::checkChineseLabels(const QImage& shot, QWidget* root)
{
    int checked = 0;
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->isVisible() || !hasChinese(label->text()))
            continue;
        const QFontMetrics metrics(label->font());
        for (const QChar c : label->text()) {
            if (!metrics.inFont(c)) {
                qWarning("%s lacks a glyph for %s", qPrintable(label->objectName()), qPrintable(QString(c)));
                return -1;
            }
        }
        const QRect area(label->mapTo(root, QPoint(0, 0)), label->size());
        if (inkIn(shot.copy(area)) < 10) {
            qWarning("%s shows no text", qPrintable(label->objectName()));
            return -1;
        }
        ++checked;
    }
    return checked;
}

void TestScreenshots::rowStates()
{
    QFETCH(float, factor);
    dpiScale = factor;
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
    QCOMPARE(widgets[0]->size(), scaled(679, 44));
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
    QVERIFY(rowsBottom >= 4 * rowHeight);
    panel.resize(panel.width(), rowsBottom + 2 * list->frameWidth());
    QCoreApplication::processEvents();
    // The rows' width and the list's frame; the height of four rows with their separators.
    const QImage shot = save("row-states", &panel, QSize(scaled(679, 44).width() + 2, panel.height()));
    QVERIFY(!shot.isNull());
    QVERIFY(checkChineseLabels(shot, &panel) >= 4 + 2); // the four names and two states
}

// Four rows of one file, one in each state: no two look alike.
void TestScreenshots::rowStatesLookDifferent()
{
    QListWidget list;
    list.setStyleSheet(readStyleSheet(":/mainWidget.css"));
    const QString path = makeFile(QString::fromUtf8("同一个文件.mp4"), 1000);
    const QString output = makeFile(QString::fromUtf8("c_同一个文件.mp4"), 400);
    QList<ListItemWidget*> rows;
    for (int i = 0; i < 4; ++i) {
        auto* item = new QListWidgetItem(&list);
        auto* row = new ListItemWidget(item, "1", path, "mp4", "0.00MB");
        item->setSizeHint(row->size());
        list.setItemWidget(item, row);
        rows << row;
    }
    rows[1]->slot_setProgress(0.46f, false, QString(), 0.0f);
    rows[2]->slot_setProgress(1.0f, true, output, 0.4f);
    rows[3]->slot_setProgress(-1.0f, false, QString(), 0.0f);
    list.resize(rows[0]->width() + 2, 4 * rows[0]->height() + 8);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QList<QImage> looks;
    for (ListItemWidget* row : rows)
        looks << row->grab().toImage();
    for (int i = 0; i < looks.size(); ++i) {
        for (int j = i + 1; j < looks.size(); ++j)
            QVERIFY2(looks[i] != looks[j], qPrintable(QString("states %1 and %2 look alike").arg(i).arg(j)));
    }
}

void TestScreenshots::messageDialog()
{
    QFETCH(float, factor);
    dpiScale = factor;
    QToolTipWidget dialog;
    dialog.setBtnOpera1(QObject::tr("确定"), true);
    dialog.setBtnOpera2(QObject::tr("取消"), true);
    dialog.setTipText1(QObject::tr("关闭应用"));
    dialog.setTipText2(QObject::tr("软件结束后将结束当前工作进程，确定要退出吗？"), Qt::AlignLeft);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage shot = save("message-dialog", &dialog, scaled(332, 228));
    QVERIFY(!shot.isNull());
    QCOMPARE(checkChineseLabels(shot, &dialog), 3); // title, headline and body
}

void TestScreenshots::historyWindow()
{
    QFETCH(float, factor);
    dpiScale = factor;
    QFile::remove("history.json"); // one history of four entries at each factor
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
    const QImage shot = save("history-window", &window, scaled(555, 647));
    QVERIFY(!shot.isNull());
    QVERIFY(checkChineseLabels(shot, &window) >= 4); // the title and the three column heads
}

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
