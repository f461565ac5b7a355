// Compresses a generated corpus of pictures through the image engine and through the bare tools with
// the same arguments, and prints per format the size ratio and the engine's wall-time overhead.
//
//   bench_image [rounds]      (default 5 rounds; the best time of the rounds is taken per file,
//                             the steadiest measure on a machine that is busy with other work)

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include "ImageCompressCore.h"
#include "PlatformConstants.h"
#include "TestEnv.h"
#include "Tool.h"

namespace
{
enum class Kind { PhotoPng, FlatPng, Jpg, Bmp, Gif };

struct Format {
    Kind kind;
    const char* name;
    const char* suffix;
};

const Format kFormats[] = {
    {Kind::PhotoPng, "PNG photo", "png"},
    {Kind::FlatPng, "PNG flat", "png"},
    {Kind::Jpg, "JPG", "jpg"},
    {Kind::Bmp, "BMP", "bmp"},
    {Kind::Gif, "GIF (3 frames)", "gif"},
};

const QSize kSizes[] = {{640, 480}, {1024, 768}, {1600, 1200}, {2400, 1600}};

const int kPngMin = 10;
const int kPngMax = 80;
const int kJpgQuality = 70;
const int kGifQuality = 80;

// A photo-like picture: smooth gradients, soft shapes and sensor-like noise.
QImage photoLike(const QSize& size, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        const int r = int(random.bounded(size.width() / 6)) + 10;
        QRadialGradient blob(random.bounded(size.width()), random.bounded(size.height()), r);
        blob.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 180, 220, 200));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setBrush(blob);
        painter.drawEllipse(blob.center(), r, r);
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(random.bounded(17)) - 8;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                           qBound(0, qBlue(p) + n, 255));
        }
    }
    return image;
}

// A flat-colour picture: a few filled rectangles, like a chart or a screenshot.
QImage flatColour(const QSize& size, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int i = 0; i < 12; ++i)
        painter.fillRect(int(random.bounded(size.width())), int(random.bounded(size.height())),
                         int(random.bounded(size.width() / 3)), int(random.bounded(size.height() / 3)),
                         QColor::fromHsv(int(random.bounded(360)), 200, 200));
    return image;
}

bool makeCorpusFile(const Format& format, const QSize& size, quint32 seed, const QString& path)
{
    switch (format.kind) {
    case Kind::PhotoPng:
        return photoLike(size, seed).save(path, "PNG");
    case Kind::FlatPng:
        return flatColour(size, seed).save(path, "PNG");
    case Kind::Jpg:
        return photoLike(size, seed).save(path, "JPEG", 95);
    case Kind::Bmp:
        return photoLike(size, seed).save(path, "BMP");
    case Kind::Gif: {
        // Animated GIFs are small pictures; three frames at a quarter of the side.
        const QSize small = size / 4;
        QStringList arguments;
        for (int frame = 0; frame < 3; ++frame) {
            const QString png = path + QString(".%1.png").arg(frame);
            if (!photoLike(small, seed + frame).save(png, "PNG"))
                return false;
            arguments << png;
        }
        arguments << "-set"
                  << "delay"
                  << "10"
                  << "-loop"
                  << "0" << path;
        return TestEnv::runTool("convert", arguments) == 0;
    }
    }
    return false;
}

// The bare tool with the engine's arguments; returns wall milliseconds, -1 on failure.
double runBare(const Format& format, const QString& in, const QString& out)
{
    QString program;
    QStringList arguments;
    switch (format.kind) {
    case Kind::PhotoPng:
    case Kind::FlatPng:
        program = PlatformConstants::pngquantPath();
        arguments = QStringList{"--quality", QString("%1-%2").arg(kPngMin).arg(kPngMax), "-f", in, "-o", out};
        break;
    case Kind::Jpg:
    case Kind::Bmp:
        program = PlatformConstants::findProgram(PlatformConstants::convertProgram());
        arguments = QStringList{"-quality", QString("%1%").arg(kJpgQuality), in, out};
        break;
    case Kind::Gif:
        program = PlatformConstants::findProgram(PlatformConstants::gifsicleProgram());
        arguments = QStringList{"-O3", in, "--colors", QString::number(256 * kGifQuality / 100), "-o", out};
        break;
    }
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0)
        return -1.0;
    return clock.nsecsElapsed() / 1e6;
}

// One engine run as the main window makes it; returns wall milliseconds, -1 on a failure report.
double runEngine(const Format& format, const QString& in, const QString& outDir, QString* outPath)
{
    ImageCompressCore engine(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), nullptr);
    engine.setKeepFormat(true);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&engine, &ImageCompressCore::sig_sendProgress, &loop,
                     [&](float progress, bool stat, const QString& filePath, float) {
                         if (stat || progress < 0.0f) {
                             ok = stat;
                             *outPath = filePath;
                             loop.quit();
                         }
                     });
    QElapsedTimer clock;
    clock.start();
    switch (format.kind) {
    case Kind::PhotoPng:
    case Kind::FlatPng:
        engine.compressPng(in, outDir, kPngMin, kPngMax);
        break;
    case Kind::Jpg:
    case Kind::Bmp:
        engine.compressJpg(in, outDir, kJpgQuality);
        break;
    case Kind::Gif:
        engine.compressGif(in, outDir, kGifQuality);
        break;
    }
    loop.exec();
    const double elapsed = clock.nsecsElapsed() / 1e6;
    return ok ? elapsed : -1.0;
}

double best(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, QString(argv[1]).toInt()) : 5;

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    TestEnv::isolate(work);
    QDir().mkpath(g_AppDataPath + "/Vornix");
    if (!PlatformConstants::makeTempFolder())
        return 1;

    std::printf("Image engine against the bare tools, %d round(s), best of the rounds per file\n", rounds);
    std::printf("pngquant --quality %d-%d; convert -quality %d%%; gifsicle -O3 --colors %d\n\n", kPngMin,
                kPngMax, kJpgQuality, 256 * kGifQuality / 100);
    std::printf("%-15s %5s %12s %12s %12s %7s %10s %10s %10s %9s\n", "format", "files", "input B",
                "engine out B", "bare out B", "ratio", "bare ms", "engine ms", "extra ms", "overhead");

    quint32 seed = 1;
    for (const Format& format : kFormats) {
        const QString folder = work.filePath(format.name).replace(' ', '_') + '/';
        QDir().mkpath(folder + "engine");
        QDir().mkpath(folder + "bare");
        qint64 inBytes = 0, engineBytes = 0, bareBytes = 0;
        double bareMs = 0.0, engineMs = 0.0;
        int files = 0;
        for (const QSize& size : kSizes) {
            const QString in =
                folder + QString("picture_%1x%2.%3").arg(size.width()).arg(size.height()).arg(format.suffix);
            if (!makeCorpusFile(format, size, seed++, in)) {
                std::fprintf(stderr, "cannot make %s\n", qPrintable(in));
                return 1;
            }
            // convert picks the format from the output's suffix: a BMP becomes a JPEG, as in the engine.
            const QString bareSuffix = format.kind == Kind::Bmp ? "jpg" : format.suffix;
            const QString bareOut = folder + "bare/c_" + QFileInfo(in).baseName() + '.' + bareSuffix;
            std::vector<double> bareTimes, engineTimes;
            QString engineOut;
            for (int round = 0; round < rounds; ++round) {
                // Alternate which runs first, so that neither always finds the file in a warm cache.
                QFile::remove(bareOut);
                double bare = 0.0, engine = 0.0;
                if (round % 2 == 0) {
                    bare = runBare(format, in, bareOut);
                    engine = runEngine(format, in, folder + "engine/", &engineOut);
                } else {
                    engine = runEngine(format, in, folder + "engine/", &engineOut);
                    bare = runBare(format, in, bareOut);
                }
                if (bare < 0.0 || engine < 0.0) {
                    std::fprintf(stderr, "run failed on %s (bare %.1f, engine %.1f)\n", qPrintable(in), bare,
                                 engine);
                    return 1;
                }
                bareTimes.push_back(bare);
                engineTimes.push_back(engine);
            }
            inBytes += QFileInfo(in).size();
            engineBytes += QFileInfo(engineOut).size();
            bareBytes += QFileInfo(bareOut).size();
            bareMs += best(bareTimes);
            engineMs += best(engineTimes);
            ++files;
        }
        const double extra = (engineMs - bareMs) / files;
        std::printf("%-15s %5d %12lld %12lld %12lld %7.3f %10.1f %10.1f %10.1f %8.1f%%\n", format.name, files,
                    inBytes, engineBytes, bareBytes, double(engineBytes) / double(inBytes), bareMs, engineMs,
                    extra, 100.0 * (engineMs - bareMs) / bareMs);
    }
    std::printf("\nratio = engine output / input bytes; extra ms = engine minus bare tool, per file.\n");
    return 0;
}
