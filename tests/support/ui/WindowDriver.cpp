#include "WindowDriver.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "FontFallbacks.h"
#include "HistoryWidget.h"
#include "Kind.h"
#include "MainWidget.h"
#include "RunningTools.h"
#include "ThreadPool.h"

namespace
{

const char* const kModeButtons[Kind::Count] = {"btnVideoCompress", "btnImageCompress", "btnPPTCompress",
                                               "btnPDFCompress", "btnWordCompress"};
const char* const kLists[Kind::Count] = {"listWidgetVideo", "listWidgetImage", "listWidgetPPT",
                                         "listWidgetPDF", "listWidgetDoc"};
const char* const kEngines[] = {"VideoCompressCore", "ImageCompressCore", "DocCompressCore"};

} // namespace

WindowDriver::WindowDriver(MainWidget& window)
    : m_window(window)
    , m_engines(window)
{
}

void WindowDriver::startProgramServices()
{
    installFontFallbacks();
    ThreadPool::instance()->start(3);
}

void WindowDriver::stopProgramServices()
{
    RunningTools::endAll();
    ThreadPool::instance()->stop();
}

void WindowDriver::addFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        m_window.switchPageBySuffix(QFileInfo(path).suffix());
        m_window.addFile(path);
    }
}

void WindowDriver::showKind(int kind)
{
    QTest::mouseClick(m_window.findChild<QPushButton*>(kModeButtons[kind]), Qt::LeftButton);
}

void WindowDriver::pressStart()
{
    QTest::mouseClick(m_window.findChild<QPushButton*>("btnCompress"), Qt::LeftButton);
}

bool WindowDriver::waitForRunEnd(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTest::qWait(50);
        if (!m_window.isQueueRunning() && m_window.freeTaskSlots() == MainWidget::kTaskSlots)
            return true;
    }
    return false;
}

QListWidget* WindowDriver::list(int kind) const
{
    return m_window.findChild<QListWidget*>(kLists[kind]);
}

int WindowDriver::rowCount(int kind) const
{
    return list(kind)->count();
}

QString WindowDriver::rowText(int kind, int row, const char* label) const
{
    QListWidget* rows = list(kind);
    QWidget* widget = rows->itemWidget(rows->item(row));
    const QLabel* found = widget ? widget->findChild<QLabel*>(label) : nullptr;
    return found ? found->text() : QString();
}

QStringList WindowDriver::states(int kind) const
{
    QStringList texts;
    for (int row = 0; row < rowCount(kind); ++row)
        texts << rowText(kind, row, "labelStat");
    return texts;
}

QString WindowDriver::buttonText() const
{
    return m_window.findChild<QPushButton*>("btnCompress")->text();
}

int WindowDriver::enginesAlive() const
{
    int alive = 0;
    for (const QObject* child : m_window.children()) {
        for (const char* engine : kEngines)
            alive += qstrcmp(child->metaObject()->className(), engine) == 0 ? 1 : 0;
    }
    return alive;
}

HistoryWidget* WindowDriver::shownHistoryWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* history = qobject_cast<HistoryWidget*>(window);
        if (history && history->isVisible())
            return history;
    }
    return nullptr;
}
