// PDF compression on real documents given on the command line (bench/run_pdf_real.sh picks files
// that Debian packages ship): the engine at quality 10 and 90, one document-tool run over the whole
// file, Ghostscript's /ebook preset and `qpdf --object-streams=generate` (the lossless floor).
// Cells are "output size / input size (wall time)"; the last column compares the engine's page
// count, outline, links and the text of every page with the input's, bookmark by bookmark, link by
// link and page by page.
#include <cstdio>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
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
};

Run runEngine(const QString& input, const QString& output, int quality)
{
    Run run;
    PDFCompressCore engine(input, output, quality, nullptr);
    QEventLoop loop;
    bool done = false;
    QObject::connect(&engine, &PDFCompressCore::sig_sendProgress, &loop,
                     [&](float progress, bool stat, QString, float rate) {
                         if (progress < 0 || stat) {
                             run.ok = stat;
                             run.ratio = rate;
                             done = true;
                             loop.quit();
                         }
                     });
    QElapsedTimer clock;
    clock.start();
    engine.start();
    if (!done)
        loop.exec();
    run.seconds = clock.elapsed() / 1000.0;
    return run;
}

// warningCode: an exit code that still means success (qpdf's 3, "done, with warnings").
Run runProgram(const QString& program, const QStringList& arguments, const QString& input,
               const QString& output, int warningCode = 0)
{
    Run run;
    QFile::remove(output);
    QElapsedTimer clock;
    clock.start();
    const int code = TestEnv::runTool(program, arguments, nullptr, 600000);
    run.seconds = clock.elapsed() / 1000.0;
    run.ok = (code == 0 || code == warningCode) && QFileInfo(output).size() > 0;
    run.ratio = double(QFileInfo(output).size()) / double(QFileInfo(input).size());
    return run;
}

QString cell(const Run& run)
{
    if (!run.ok)
        return "failed";
    return QString("%1 (%2 s)").arg(run.ratio, 0, 'f', 3).arg(run.seconds, 0, 'f', 2);
}

// "same" when the result's bookmarks and links equal the input's, else what differs.
QString structureCell(const QString& input, const QStringList& outputs)
{
    const QStringList outline = PdfFactory::outlineTree(input);
    const QStringList links = PdfFactory::linkTargets(input);
    const QStringList texts = PdfFactory::pageTexts(input);
    QStringList differences;
    for (const QString& output : outputs) {
        if (PdfFactory::pageCount(output) != PdfFactory::pageCount(input))
            differences << QString("%1: %2 pages")
                               .arg(QFileInfo(output).baseName())
                               .arg(PdfFactory::pageCount(output));
        const QStringList otherOutline = PdfFactory::outlineTree(output);
        const QStringList otherLinks = PdfFactory::linkTargets(output);
        if (otherOutline != outline)
            differences
                << QString("%1: outline %2").arg(QFileInfo(output).baseName()).arg(otherOutline.size());
        if (otherLinks != links)
            differences << QString("%1: links %2").arg(QFileInfo(output).baseName()).arg(otherLinks.size());
        if (PdfFactory::pageTexts(output) != texts)
            differences << QString("%1: page texts").arg(QFileInfo(output).baseName());
    }
    const QString counts = QString("%1 / %2").arg(outline.size()).arg(links.size());
    return differences.isEmpty() ? counts + ", same" : counts + ", DIFFERENT: " + differences.join("; ");
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
    const QStringList inputs = app.arguments().mid(1);
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "usage: bench_pdf_real FILE.pdf...\n");
        return 2;
    }

    const int workers = ThreadPool::workerCountFor(QThread::idealThreadCount());
    ThreadPool::instance()->start(workers);
    const QString tool = PathManager::instance()->converterPath();
    const QString gs = QStandardPaths::findExecutable("gs");
    const QString qpdf = QStandardPaths::findExecutable("qpdf");

    std::printf("%d hardware threads, %d pool workers\n\n", QThread::idealThreadCount(), workers);
    std::printf("| file | pages | input | engine q10 | engine q90 | one tool run q10 | one tool run q90 | gs "
                "/ebook | "
                "qpdf object streams | bookmarks / links (engine q10, q90) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const QString& input : inputs) {
        const QString name = QFileInfo(input).completeBaseName();
        const QString low = dir.filePath(name + "_q10.pdf");
        const QString high = dir.filePath(name + "_q90.pdf");
        const Run engineLow = runEngine(input, low, 10);
        const Run engineHigh = runEngine(input, high, 90);
        const QString single = dir.filePath(name + "_single10.pdf");
        const Run wholeLow =
            runProgram(tool, {"-type=3", "-subtype=2", "-input=" + input, "-output=" + single, "-quality=10"},
                       input, single);
        const QString singleHigh = dir.filePath(name + "_single90.pdf");
        const Run wholeHigh = runProgram(
            tool, {"-type=3", "-subtype=2", "-input=" + input, "-output=" + singleHigh, "-quality=90"}, input,
            singleHigh);
        const QString ebook = dir.filePath(name + "_gs.pdf");
        const Run peer = runProgram(gs,
                                    {"-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=pdfwrite",
                                     "-dPDFSETTINGS=/ebook", "-sOutputFile=" + ebook, input},
                                    input, ebook);
        const QString floor = dir.filePath(name + "_floor.pdf");
        const Run lossless = runProgram(qpdf, {"--object-streams=generate", input, floor}, input, floor, 3);
        std::printf("| %s | %d | %.2f MB | %s | %s | %s | %s | %s | %s | %s |\n",
                    qPrintable(QFileInfo(input).fileName()), PdfFactory::pageCount(input),
                    QFileInfo(input).size() / 1048576.0, qPrintable(cell(engineLow)),
                    qPrintable(cell(engineHigh)), qPrintable(cell(wholeLow)), qPrintable(cell(wholeHigh)),
                    qPrintable(cell(peer)), qPrintable(cell(lossless)),
                    qPrintable(structureCell(input, {low, high})));
        std::fflush(stdout);
    }
    ThreadPool::instance()->stop();
    return 0;
}
