// PDF compression on three generated documents of 120 pages (image-heavy, text-only, mixed):
// the engine (page ranges in parallel on the worker pool, then the merge) at quality 10 and 90,
// one document-tool run over the whole file at the same qualities, and Ghostscript's /ebook
// preset as the peer. Cells are "output size / input size (wall time)".
#include <cstdio>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "PDFCompressCore.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"

namespace
{
struct Run {
    bool ok = false;
    double seconds = 0;
    double ratio = 0;
    int pages = -1;
};

Run runEngine(const QString& input, const QString& output, int quality)
{
    Run run;
    PDFCompressCore engine(input, output, quality, nullptr);
    QEventLoop loop;
    QObject::connect(&engine, &PDFCompressCore::sig_sendProgress, &loop,
                     [&](float progress, bool stat, QString, float rate) {
                         if (progress < 0 || stat) {
                             run.ok = stat;
                             run.ratio = rate;
                             loop.quit();
                         }
                     });
    QElapsedTimer clock;
    clock.start();
    engine.start();
    if (!run.ok && run.ratio == 0)
        loop.exec();
    run.seconds = clock.elapsed() / 1000.0;
    run.pages = PdfFactory::pageCount(output);
    return run;
}

Run runProgram(const QString& program, const QStringList& arguments, const QString& input,
               const QString& output)
{
    Run run;
    QFile::remove(output);
    QElapsedTimer clock;
    clock.start();
    const int code = TestEnv::runTool(program, arguments, nullptr, 600000);
    run.seconds = clock.elapsed() / 1000.0;
    run.ok = code == 0 && QFileInfo(output).size() > 0;
    run.ratio = double(QFileInfo(output).size()) / double(QFileInfo(input).size());
    run.pages = PdfFactory::pageCount(output);
    return run;
}

QString cell(const Run& run)
{
    if (!run.ok)
        return "failed";
    return QString("%1 (%2 s)").arg(run.ratio, 0, 'f', 3).arg(run.seconds, 0, 'f', 2);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    QGuiApplication app(argc, argv);
    TestEnv::isolate(dir);
    QDir().mkpath(g_AppDataPath);

    const int pages = 120;
    const int workers = ThreadPool::workerCountFor(QThread::idealThreadCount());
    ThreadPool::instance()->start(workers);
    const QString tool = PathManager::instance()->converterPath();
    const QString gs = QStandardPaths::findExecutable("gs");

    struct Document {
        const char* name;
        PdfFactory::Content content;
        int imageWidth;
    };
    const Document documents[] = {{"image-heavy", PdfFactory::Content::Images, 1600},
                                  {"text-only", PdfFactory::Content::Text, 0},
                                  {"mixed", PdfFactory::Content::Mixed, 1000}};

    std::printf("%d pages per document, %d hardware threads, %d pool workers\n\n", pages,
                QThread::idealThreadCount(), workers);
    std::printf(
        "| document | input | engine q10 | engine q90 | one tool run q10 | one tool run q90 | gs /ebook | "
        "engine speed-up q10 / q90 | pages ok |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Document& document : documents) {
        const QString input = dir.filePath(QString("%1.pdf").arg(document.name));
        PdfFactory::Options options;
        options.pages = pages;
        options.content = document.content;
        options.imageWidth = document.imageWidth > 0 ? document.imageWidth : 1200;
        options.title = document.name;
        options.bookmarkEvery = 10;
        if (!PdfFactory::write(input, options)) {
            std::printf("| %s | cannot make the input |\n", document.name);
            continue;
        }
        const Run low = runEngine(input, dir.filePath(QString("%1_q10.pdf").arg(document.name)), 10);
        const Run high = runEngine(input, dir.filePath(QString("%1_q90.pdf").arg(document.name)), 90);
        const QString single = dir.filePath(QString("%1_single.pdf").arg(document.name));
        const Run whole =
            runProgram(tool, {"-type=3", "-subtype=2", "-input=" + input, "-output=" + single, "-quality=10"},
                       input, single);
        const QString singleHigh = dir.filePath(QString("%1_single90.pdf").arg(document.name));
        const Run wholeHigh = runProgram(
            tool, {"-type=3", "-subtype=2", "-input=" + input, "-output=" + singleHigh, "-quality=90"}, input,
            singleHigh);
        const QString ebook = dir.filePath(QString("%1_gs.pdf").arg(document.name));
        Run peer;
        if (!gs.isEmpty())
            peer = runProgram(gs,
                              {"-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=pdfwrite",
                               "-dPDFSETTINGS=/ebook", "-sOutputFile=" + ebook, input},
                              input, ebook);
        const bool pagesOk =
            low.pages == pages && high.pages == pages && whole.pages == pages && wholeHigh.pages == pages;
        std::printf("| %s | %.1f MB | %s | %s | %s | %s | %s | %.2fx / %.2fx | %s |\n", document.name,
                    QFileInfo(input).size() / 1048576.0, qPrintable(cell(low)), qPrintable(cell(high)),
                    qPrintable(cell(whole)), qPrintable(cell(wholeHigh)), qPrintable(cell(peer)),
                    low.ok ? whole.seconds / low.seconds : 0.0,
                    high.ok ? wholeHigh.seconds / high.seconds : 0.0, pagesOk ? "yes" : "NO");
        std::fflush(stdout);
    }
    ThreadPool::instance()->stop();
    return 0;
}
