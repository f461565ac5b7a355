// Video engine against bare ffmpeg: the engine's wall time over ffmpeg's own on the same command
// (the overhead of reading the source and the result through, MediaInfo's frame count, progress
// parsing and reports), and the output size over the input size at crf 24 and 31 (slider at 0 and 100).

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "MediaInfoQueries.h"
#include "PlatformConstants.h"
#include "TestEnv.h"
#include "Tool.h"
#include "VideoCompressCore.h"

namespace
{
const int kRuns = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds from compress() to the final report; `ok` false on a failure report.
double timeEngine(const QString& in, const QString& outDir, int crf, bool* ok)
{
    VideoCompressCore engine(PlatformConstants::ffmpegPath(), nullptr);
    QEventLoop loop;
    *ok = false;
    QObject::connect(&engine, &VideoCompressCore::sig_sendProgress, &loop,
                     [&](float progress, bool stat, QString, float) {
                         if (stat || progress < 0.0f) {
                             *ok = stat;
                             loop.quit();
                         }
                     });
    const QSize size = getMediaSize(in, 0);
    VideoCompressParam param;
    param.width = size.width();
    param.height = size.height();
    param.scale = 1.0f;
    param.crf = crf;
    QElapsedTimer timer;
    timer.start();
    engine.compress(in, false, outDir, param);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    return timer.nsecsElapsed() / 1e6;
}

// Milliseconds of ffmpeg alone on the engine's command.
double timeBare(const QString& in, const QString& out, int crf, bool* ok)
{
    const QSize size = VideoCompressCore::targetSize(
        VideoCompressParam{getMediaSize(in, 0).width(), getMediaSize(in, 0).height(), 1.0f, crf});
    const ToolCommand command = VideoCompressCore::ffmpegCommand(
        PlatformConstants::ffmpegPath(), in, out, VideoCompressCore::codecFor(in, false), crf, size);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    command.startOn(process);
    *ok = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    return timer.nsecsElapsed() / 1e6;
}

bool makeInput(const QString& path, const QStringList& codec)
{
    QStringList arguments{"-v",
                          "error",
                          "-y",
                          "-f",
                          "lavfi",
                          "-i",
                          "testsrc2=size=640x360:rate=25:duration=10,noise=alls=12:allf=t",
                          "-f",
                          "lavfi",
                          "-i",
                          "sine=frequency=440:duration=10",
                          "-shortest",
                          "-pix_fmt",
                          "yuv420p"};
    arguments << codec << path;
    return TestEnv::runTool("ffmpeg", arguments, nullptr, 600000) == 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    TestEnv::isolate(dir);
    QDir().mkpath(g_AppDataPath + "/Vornix");
    g_infoJsonPath = dir.filePath("info.json");

    struct Input {
        QString name;
        QStringList codec;
    };
    const std::vector<Input> inputs{
        {"input.mp4", {"-c:v", "libx264", "-crf", "18", "-preset", "veryfast", "-c:a", "aac"}},
        {"input.avi", {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "pcm_s16le"}},
    };

    std::printf("Video engine vs bare ffmpeg, %d runs each (median), %d hardware threads\n", kRuns,
                QThread::idealThreadCount());
    std::printf("Input: 640x360, 25 fps, 10 s (testsrc2 with noise, sine tone); scale 100 %%.\n\n");
    std::printf("| input | codec | crf | input KiB | output KiB | size ratio | bare ffmpeg ms | engine ms | "
                "overhead ratio |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Input& input : inputs) {
        const QString in = dir.filePath(input.name);
        if (!makeInput(in, input.codec)) {
            std::printf("could not make %s\n", qPrintable(input.name));
            return 1;
        }
        for (int crf : {24, 31}) {
            std::vector<double> engineMs;
            std::vector<double> bareMs;
            QString engineOut;
            for (int run = 0; run < kRuns; ++run) {
                const QString engineDir = dir.filePath(QString("engine-%1-%2/").arg(crf).arg(run));
                const QString bareDir = dir.filePath(QString("bare-%1-%2/").arg(crf).arg(run));
                QDir().mkpath(engineDir);
                QDir().mkpath(bareDir);
                // Alternate which one goes first, so that neither always finds the caches warm.
                bool bareOk = true;
                bool engineOk = true;
                if (run % 2 == 0)
                    bareMs.push_back(
                        timeBare(in, bareDir + VideoCompressCore::outputName(in, false), crf, &bareOk));
                engineMs.push_back(timeEngine(in, engineDir, crf, &engineOk));
                if (run % 2 == 1)
                    bareMs.push_back(
                        timeBare(in, bareDir + VideoCompressCore::outputName(in, false), crf, &bareOk));
                if (!bareOk || !engineOk) {
                    std::printf("%s failed on %s\n", bareOk ? "engine" : "bare ffmpeg", qPrintable(in));
                    return 1;
                }
                engineOut = engineDir + VideoCompressCore::outputName(in, false);
            }
            const double inSize = QFileInfo(in).size();
            const double outSize = QFileInfo(engineOut).size();
            const double bare = median(bareMs);
            const double engine = median(engineMs);
            std::printf("| %s | %s | %d | %.0f | %.0f | %.3f | %.0f | %.0f | %.3f |\n",
                        qPrintable(input.name), qPrintable(VideoCompressCore::codecFor(in, false)), crf,
                        inSize / 1024.0, outSize / 1024.0, outSize / inSize, bare, engine, engine / bare);
            std::fflush(stdout);
        }
    }
    return 0;
}
