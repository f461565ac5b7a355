// Opening 历史记录 over a long history: the real main window's history button is pressed over a history
// of 50 records and, in the same run, of 50,000 (8 MB, written as the program writes it); then the list
// is scrolled to its end. A 5 ms timer on the window's thread measures the longest pause of its event
// loop around each step; the time to open, the time to read the history alone and the row widgets
// that exist are printed as well. For
// comparison, a list that makes one row widget per record at once (as the window did before) is filled
// with a few thousand records.
//
//   bench_historywindow [records] [records made at once]     (defaults 50000 and 2000)

#include <cstdio>
#include <functional>

#include <json/value.h>
#include <json/writer.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "FontFallbacks.h"
#include "HistoryWidget.h"
#include "HistoryWidgetItem.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "TestEnv.h"
#include "WindowDriver.h"
#include "WindowsLookStyle.h"

namespace
{
// A history of `records` entries of the video kind (the page the window starts on), as the program
// writes it.
bool writeHistory(const QString& path, int records)
{
    Json::Value root(Json::objectValue);
    for (int kind = 0; kind < Kind::Count; ++kind)
        root[Kind::historyKey(kind).toStdString()] = Json::Value(Json::arrayValue);
    for (int i = 0; i < records; ++i) {
        const QString folder = QString("/home/user/Videos/holiday %1/").arg(i / 100);
        JsonParsing::appendEntry(root, "video", "2024-05-17", folder + QString("clip %1.mp4").arg(i),
                                 folder + QString("c_clip %1.mp4").arg(i));
    }
    const QByteArray bytes = QString::fromStdString(Json::StyledWriter().write(root)).toLocal8Bit();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Step {
    qint64 longestPauseMs = 0;
    qint64 stepMs = 0;
};

// Runs `step` from the event loop with a 5 ms ticker going, and the loop on for `afterMs` more.
Step measure(const std::function<void()>& step, int afterMs = 500)
{
    Step result;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { result.longestPauseMs = qMax(result.longestPauseMs, sinceTick.restart()); });
    QEventLoop loop;
    QTimer::singleShot(50, [&] {
        QElapsedTimer clock;
        clock.start();
        step();
        result.stepMs = clock.elapsed();
        QTimer::singleShot(afterMs, &loop, &QEventLoop::quit);
    });
    sinceTick.start();
    ticker.start(5);
    loop.exec();
    return result;
}

int rowWidgets()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += window->findChildren<HistoryWidgetItem*>().size();
    return count;
}

void openHistory(const QString& folder, int records)
{
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    if (!writeHistory(folder + "/history.json", records)) {
        std::fprintf(stderr, "cannot write the history in %s\n", qPrintable(folder));
        return;
    }
    // Reading the history alone, for the share of 历史记录 that is the file's.
    QElapsedTimer reading;
    reading.start();
    const int read = JsonParsing::readHistory(Kind::Video, "history.json").size();
    const qint64 readingMs = reading.elapsed();
    MainWidget window;
    window.show();
    auto* historyButton = window.findChild<QPushButton*>("btnHistory");
    const Step open = measure([&] { historyButton->click(); });
    HistoryWidget* history = WindowDriver::shownHistoryWindow();
    auto* list = history ? history->findChild<QListWidget*>("listWidget") : nullptr;
    const int shown = list ? list->count() : -1;
    const int madeOnOpen = rowWidgets();
    const Step scroll = measure([&] {
        if (list)
            list->scrollToBottom();
    });
    std::printf("| 历史记录 over %d records | %d rows | %lld ms | %lld ms (%d records) | %lld ms | %d | %lld "
                "ms | %d |\n",
                records, shown, static_cast<long long>(open.stepMs), static_cast<long long>(readingMs), read,
                static_cast<long long>(open.longestPauseMs), madeOnOpen,
                static_cast<long long>(scroll.longestPauseMs), rowWidgets());
    std::fflush(stdout);
    if (history)
        history->hide();
}

// The list filled as the window did before: one row widget per record, all at once.
void fillAtOnce(int records)
{
    QListWidget list;
    list.resize(497, 519);
    list.show();
    const Step fill = measure([&] {
        for (int i = 0; i < records; ++i) {
            auto* item = new QListWidgetItem;
            auto* row = new HistoryWidgetItem(&list, "2024-05-17", QString("/p/IMG_%1.png").arg(i),
                                              QString("/p/c_IMG_%1.jpg").arg(i));
            item->setSizeHint(row->size());
            list.addItem(item);
            list.setItemWidget(item, row);
        }
    });
    std::printf("| every row made at once, %d records | %d rows | %lld ms | | %lld ms | %d | | |\n", records,
                list.count(), static_cast<long long>(fill.stepMs),
                static_cast<long long>(fill.longestPauseMs), rowWidgets());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontFallbacks();
    WindowsLookStyle::install();
    const int records = argc > 1 ? QString(argv[1]).toInt() : 50000;
    const int atOnce = argc > 2 ? QString(argv[2]).toInt() : 2000;

    QTemporaryDir dir;
    TestEnv::isolate(dir);
    std::printf(
        "| history | rows in the list | 历史记录 takes | reading the file alone | longest pause opening | "
        "row widgets | longest pause scrolling to the end | row widgets after |\n"
        "|---|---|---|---|---|---|---|---|\n");
    for (const int count : {50, records})
        openHistory(dir.path() + QString("/history-%1").arg(count), count);
    if (atOnce > 0)
        fillAtOnce(atOnce);
    return 0;
}
