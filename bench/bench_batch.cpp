// A long batch through the whole program: 200 generated pictures of mixed size and format and 10
// PDFs go through the real main window's queue (four slots), as a user's run would. Prints the wall
// time of each kind's run, the peak disk use of the intermediate folders (this program's temporary
// folder and the PDF work folder) and the peak memory of the program and of its tools together.
// The peer in the same run is the bare tools doing the same work one file after another.
//
//   bench_batch [pictures] [pdfs]     (defaults 200 and 10)

#include <cstdio>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "FontFallbacks.h"
#include "MainWidget.h"
#include "OoxmlPackage.h"
#include "PdfFactory.h"
#include "PlatformConstants.h"
#include "RunningTools.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"
#include "WindowDriver.h"

namespace
{

const QSize kSizes[] = {{640, 480}, {1024, 768}, {1600, 1200}, {2400, 1600}, {800, 1200}};
const char* const kSuffixes[] = {"png", "jpg", "png", "bmp", "gif", "jpg"};

bool makePicture(const QString& path, int index)
{
    const QSize size = kSizes[index % 5];
    const QString suffix = QFileInfo(path).suffix();
    const QImage picture = index % 3 == 2 ? OoxmlPackage::diagram(size.width(), size.height())
                                          : OoxmlPackage::photo(size.width(), size.height(), quint32(index));
    if (suffix != "gif")
        return picture.save(path, nullptr, 95);
    const QString png = path + ".png";
    const bool made = picture.scaled(size / 2).save(png) && TestEnv::runTool("convert", {png, path}) == 0;
    QFile::remove(png);
    return made;
}

qint64 bytesUnder(const QString& folder)
{
    if (folder.isEmpty())
        return 0;
    qint64 total = 0;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        total += files.fileInfo().size();
    }
    return total;
}

// Resident kilobytes of a process from /proc, 0 when it is gone.
qint64 residentKb(const QString& pid, const char* field)
{
    QFile status("/proc/" + pid + "/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// The resident memory of every process below this one (the tools and their own children).
qint64 descendantsKb()
{
    QHash<QString, QString> parentOf;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!pid.at(0).isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        parentOf.insert(pid, QString::fromLatin1(fields.value(1)));
    }
    const QString self = QString::number(QCoreApplication::applicationPid());
    qint64 total = 0;
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        QString up = it.value();
        for (int depth = 0; depth < 16 && !up.isEmpty() && up != "0"; ++depth) {
            if (up == self) {
                total += residentKb(it.key(), "VmRSS:");
                break;
            }
            up = parentOf.value(up);
        }
    }
    return total;
}

struct Peaks {
    qint64 intermediateBytes = 0;
    qint64 toolsKb = 0;
    qint64 programKb = 0;
    qint64 togetherKb = 0;
};

// The bare tools on every picture, one after another, with the arguments the engine uses.
double bareImages(const QStringList& pictures, const QString& outFolder)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString& in : pictures) {
        const QFileInfo info(in);
        const QString out = outFolder + "/c_" + info.fileName();
        const QString suffix = info.suffix();
        if (suffix == "png")
            TestEnv::runTool(PlatformConstants::pngquantPath(), {"--quality", "10-50", "-f", in, "-o", out});
        else if (suffix == "gif")
            TestEnv::runTool("gifsicle", {"-O3", in, "--colors", "128", "-o", out});
        else
            TestEnv::runTool("convert", {"-quality", "50%", in, out + ".jpg"});
    }
    return clock.elapsed() / 1000.0;
}

// One document tool run over each whole PDF, at the quality the window's PDF page uses.
double barePdfs(const QStringList& pdfs, const QString& outFolder)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString& in : pdfs) {
        const QString out = outFolder + "/c_" + QFileInfo(in).fileName();
        TestEnv::runTool(PlatformConstants::docToolPath(false),
                         {"-type=3", "-subtype=2", "-input=" + in, "-output=" + out, "-quality=10"}, nullptr,
                         600000);
    }
    return clock.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontFallbacks();
    const int pictureCount = argc > 1 ? QString(argv[1]).toInt() : 200;
    const int pdfCount = argc > 2 ? QString(argv[2]).toInt() : 10;

    QTemporaryDir dir;
    TestEnv::isolate(dir);
    QDir::setCurrent(dir.path());
    ThreadPool::instance()->start(ThreadPool::workerCountFor(int(std::thread::hardware_concurrency())));

    const QString inputs = dir.path() + "/inputs";
    QDir().mkpath(inputs);
    QStringList pictures;
    QStringList pdfs;
    for (int i = 0; i < pictureCount; ++i) {
        pictures << QString("%1/picture %2.%3").arg(inputs).arg(i, 3, 10, QChar('0')).arg(kSuffixes[i % 6]);
        if (!makePicture(pictures.last(), i)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(pictures.last()));
            return 1;
        }
    }
    for (int i = 0; i < pdfCount; ++i) {
        PdfFactory::Options options;
        options.pages = 24;
        options.content = i % 2 ? PdfFactory::Content::Mixed : PdfFactory::Content::Images;
        options.imageWidth = 1200;
        pdfs << QString("%1/document %2.pdf").arg(inputs).arg(i);
        if (!PdfFactory::write(pdfs.last(), options))
            return 1;
    }
    qint64 pictureBytes = 0;
    for (const QString& path : pictures)
        pictureBytes += QFileInfo(path).size();
    std::printf("inputs: %d pictures (%.1f MB), %d PDFs of 24 pages (%.1f MB)\n", pictureCount,
                pictureBytes / 1048576.0, pdfCount, (bytesUnder(inputs) - pictureBytes) / 1048576.0);

    MainWidget window;
    window.show();
    WindowDriver driver(window);
    for (const QString& path : pictures + pdfs) {
        window.switchPageBySuffix(QFileInfo(path).suffix());
        window.addFile(path);
    }

    Peaks peaks;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&peaks] {
        // The PDF engine's page ranges lie in the program's temporary folder too.
        const qint64 intermediate = bytesUnder(TempFolder::path());
        const qint64 tools = descendantsKb();
        const qint64 program = residentKb(QString::number(QCoreApplication::applicationPid()), "VmRSS:");
        peaks.intermediateBytes = qMax(peaks.intermediateBytes, intermediate);
        peaks.toolsKb = qMax(peaks.toolsKb, tools);
        peaks.togetherKb = qMax(peaks.togetherKb, tools + program);
    });
    sampler.start(100);

    double windowSeconds[2] = {};
    const int kinds[2] = {1, 3};
    for (int k = 0; k < 2; ++k) {
        QElapsedTimer clock;
        clock.start();
        driver.showKind(kinds[k]);
        driver.pressStart();
        if (!driver.waitForRunEnd(3600000)) {
            std::fprintf(stderr, "the run did not end\n");
            return 1;
        }
        windowSeconds[k] = clock.elapsed() / 1000.0;
        const QStringList states = driver.states(kinds[k]);
        std::printf("%s: %d rows, %d finished, %d failed, %.1f s through the window\n",
                    k == 0 ? "pictures" : "PDFs", int(states.size()), int(states.count("已完成")),
                    int(states.count("压缩失败")), windowSeconds[k]);
    }
    sampler.stop();
    peaks.programKb = residentKb(QString::number(QCoreApplication::applicationPid()), "VmHWM:");

    const QString bare = dir.path() + "/bare";
    QDir().mkpath(bare);
    const double bareSeconds[2] = {bareImages(pictures, bare), barePdfs(pdfs, bare)};

    std::printf("\n| | window, 4 slots | bare tools, one after another | ratio |\n|---|---|---|---|\n");
    std::printf("| %d pictures | %.1f s | %.1f s | %.2f |\n", pictureCount, windowSeconds[0], bareSeconds[0],
                windowSeconds[0] / bareSeconds[0]);
    std::printf("| %d PDFs | %.1f s | %.1f s | %.2f |\n", pdfCount, windowSeconds[1], bareSeconds[1],
                windowSeconds[1] / bareSeconds[1]);
    std::printf("\npeak disk use of the intermediate folders: %.1f MB\n",
                peaks.intermediateBytes / 1048576.0);
    std::printf(
        "peak memory: program %.0f MB (high-water mark), its tools together %.0f MB, both at once %.0f MB\n",
        peaks.programKb / 1024.0, peaks.toolsKb / 1024.0, peaks.togetherKb / 1024.0);
    std::printf("left in the intermediate folders at the end: %lld bytes\n",
                static_cast<long long>(bytesUnder(TempFolder::path())));
    RunningTools::endAll();
    ThreadPool::instance()->stop();
    return 0;
}
