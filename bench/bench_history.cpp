// Sending pictures off through the real main window over a long history: 200 small pictures (so that
// the tools take little of the time) go through the queue twice in one run, once with an empty history
// and no results recorded, once with 50,000 history entries (about 8 MB, years of use) and 50,000
// recorded results. Prints, for each, the longest pause of the window's event loop during the run, the
// time per file, and the time until the history holds every entry.
//
//   bench_history [pictures] [records]     (defaults 200 and 50000)

#include <cstdio>

#include <json/value.h>
#include <json/writer.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include "FontFallbacks.h"
#include "HistoryWriter.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "MainWidget.h"
#include "PlacedResults.h"
#include "RunningTools.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "WindowDriver.h"

namespace
{
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A history of `records` entries spread over the five kinds, as the program writes it.
QByteArray historyOf(int records)
{
    Json::Value root(Json::objectValue);
    for (int kind = 0; kind < Kind::Count; ++kind)
        root[Kind::historyKey(kind).toStdString()] = Json::Value(Json::arrayValue);
    for (int i = 0; i < records; ++i) {
        const QString folder = QString("/home/user/Pictures/holiday %1/").arg(i / 100);
        JsonParsing::appendEntry(root, Kind::historyKey(i % Kind::Count), "2024-05-17",
                                 folder + QString("IMG_%1.png").arg(i),
                                 folder + QString("c_IMG_%1.jpg").arg(i));
    }
    return QString::fromStdString(Json::StyledWriter().write(root)).toLocal8Bit();
}

// A record of `records` placed results elsewhere, in the record's own form.
QByteArray placedRecordOf(int records)
{
    QByteArray lines;
    for (int i = 0; i < records; ++i) {
        Json::Value entry(Json::objectValue);
        entry["output"] = QString("/home/user/Videos/c_clip %1.mp4").arg(i).toStdString();
        entry["input"] = QString("/home/user/Videos/clip %1.mp4").arg(i).toStdString();
        entry["device"] = Json::Int64(2049);
        entry["inode"] = Json::Int64(100000 + i);
        entry["size"] = Json::Int64(1000000 + i);
        entry["modified"] = Json::Int64(1700000000000000000LL + i);
        lines += QByteArray::fromStdString(Json::FastWriter().write(entry));
    }
    return lines;
}

struct Run {
    bool ended = false;
    int finished = 0;
    qint64 longestPauseMs = 0;
    double secondsPerFile = 0.0;
    double historyWrittenSeconds = 0.0;
};

Run sendOff(const QString& folder, int pictures, int records)
{
    Run run;
    QDir::setCurrent(folder);
    if (!writeFile(folder + "/history.json", historyOf(records)) ||
        !writeFile(PlacedResults::filePath(), placedRecordOf(records)))
        return run;
    QStringList paths;
    for (int i = 0; i < pictures; ++i) {
        paths << QString("%1/pictures/photo %2.png").arg(folder).arg(i, 3, 10, QChar('0'));
        QImage picture(160, 120, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 7 % 360, 160, 200));
        QDir().mkpath(folder + "/pictures");
        if (!picture.save(paths.last()))
            return run;
    }

    MainWidget window;
    window.show();
    WindowDriver driver(window);
    driver.showKind(Kind::Image);
    driver.addFiles(paths);

    QElapsedTimer sinceTick;
    QElapsedTimer clock;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { run.longestPauseMs = qMax(run.longestPauseMs, sinceTick.restart()); });
    clock.start();
    sinceTick.start();
    ticker.start(10);
    driver.pressStart();
    run.ended = driver.waitForRunEnd(3600000);
    ticker.stop();
    run.secondsPerFile = clock.elapsed() / 1000.0 / pictures;
    HistoryWriter::instance().flush(600000);
    run.historyWrittenSeconds = clock.elapsed() / 1000.0;
    run.finished = int(driver.states(Kind::Image).count("已完成"));
    return run;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontFallbacks();
    const int pictures = argc > 1 ? QString(argv[1]).toInt() : 200;
    const int records = argc > 2 ? QString(argv[2]).toInt() : 50000;

    QTemporaryDir dir;
    TestEnv::isolate(dir);
    ThreadPool::instance()->start(2);
    std::printf("%d pictures of 160x120 sent off through the window, four at a time\n\n", pictures);
    std::printf(
        "| history and record of results | finished | longest pause of the event loop | time per file | "
        "history complete after |\n|---|---|---|---|---|\n");
    for (const int count : {0, records}) {
        const QString folder = dir.path() + QString("/history-%1").arg(count);
        QDir().mkpath(folder);
        const Run run = sendOff(folder, pictures, count);
        if (!run.ended) {
            std::fprintf(stderr, "the run with %d records did not end\n", count);
            return 1;
        }
        std::printf("| %d entries each | %d of %d | %lld ms | %.0f ms | %.1f s |\n", count, run.finished,
                    pictures, static_cast<long long>(run.longestPauseMs), run.secondsPerFile * 1000.0,
                    run.historyWrittenSeconds);
        std::fflush(stdout);
    }
    RunningTools::endAll();
    ThreadPool::instance()->stop();
    return 0;
}
