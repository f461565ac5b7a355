// The last step of a job whose result did not shrink: the input is copied over the result. For a
// large video that copy takes seconds; this measures how long the window's event loop goes without
// a turn meanwhile, with the copy made off the GUI thread (ResultSettler, as the engines do) and,
// as the peer in the same run, on the GUI thread (SmallerResult::settle called directly).
//
//   bench_settle [megabytes] [rounds]     (defaults 1024 and 2)

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include "ResultSettler.h"
#include "SmallerResult.h"
#include "TestEnv.h"

namespace
{
const int kTickMs = 10;

// A file of `megabytes` MiB of noise (plus `extra` bytes), written in 1 MiB blocks.
bool writeFile(const QString& path, int megabytes, int extra)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < megabytes; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                              block.size() / int(sizeof(quint32)));
        if (file.write(block) != block.size())
            return false;
    }
    return file.write(QByteArray(extra, 'x')) == extra && file.flush();
}

struct Measure {
    qint64 copyMs = 0;
    qint64 longestGapMs = 0;
    int turns = 0;
    bool copied = false;
};

// Runs `settle` with a 10 ms timer beside it; `settle` calls `done` when the result is in place.
Measure measure(const std::function<void(const std::function<void(const SmallerResult&)>&)>& settle)
{
    Measure result;
    QEventLoop loop;
    QElapsedTimer clock;
    QElapsedTimer sinceTurn;
    QTimer ticker;
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        result.longestGapMs = qMax(result.longestGapMs, sinceTurn.elapsed());
        sinceTurn.restart();
        ++result.turns;
    });
    const auto done = [&](const SmallerResult& settled) {
        result.copyMs = clock.elapsed();
        result.longestGapMs = qMax(result.longestGapMs, sinceTurn.elapsed());
        result.copied = settled.copied();
        loop.quit();
    };
    QTimer::singleShot(0, [&] {
        clock.start();
        sinceTurn.start();
        ticker.start();
        settle(done);
    });
    loop.exec();
    return result;
}

void print(const char* way, int round, const Measure& m)
{
    std::printf("%-34s %5d %9lld %15lld %7d %7s\n", way, round, static_cast<long long>(m.copyMs),
                static_cast<long long>(m.longestGapMs), m.turns, m.copied ? "yes" : "NO");
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? QString(argv[1]).toInt() : 1024;
    const int rounds = argc > 2 ? QString(argv[2]).toInt() : 2;
    QTemporaryDir dir(QDir::currentPath() + "/bench-settle-XXXXXX");
    TestEnv::isolate(dir);
    const QString input = dir.filePath("clip.mp4");
    const QString written = dir.filePath("written.mp4");
    const QString output = dir.filePath("c_clip.mp4");
    if (!dir.isValid() || !writeFile(input, megabytes, 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(input));
        return 1;
    }

    std::printf("A result one byte larger than its %d MiB input is replaced by a copy of the input\n",
                megabytes);
    std::printf("%-34s %5s %9s %15s %7s %7s\n", "way", "round", "copy ms", "longest gap ms", "turns",
                "copied");
    for (int round = 1; round <= rounds; ++round) {
        if (!writeFile(written, megabytes, 1))
            return 1;
        ResultSettler settler(nullptr);
        print("off the GUI thread (ResultSettler)", round, measure([&](const auto& done) {
                  QObject::connect(&settler, &ResultSettler::settled, done);
                  settler.settle("video", input, written, output, ResultSettler::Check());
              }));
        if (!writeFile(written, megabytes, 1))
            return 1;
        print("on the GUI thread (peer)", round, measure([&](const auto& done) {
                  done(SmallerResult::settle("video", input, written, output));
              }));
    }
    std::printf(
        "A gap is the time between two turns of the event loop, whose timer asks for one every %d ms.\n",
        kTickMs);
    return 0;
}
