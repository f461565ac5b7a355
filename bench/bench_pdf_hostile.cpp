// Hostile PDFs through the PDF engine and through the document tool alone: a page tree that claims
// 2,000,000,000 pages besides the three it holds, one whose kids lead back to its root, and a form
// whose field tree loops, each beside a sound file of the same pages. Every run is a fresh process of
// this program, so that its peaks are its own: the engine in-process (its peak resident memory,
// getrusage(RUSAGE_SELF)) with the document tool runs it starts (the largest one's peak,
// getrusage(RUSAGE_CHILDREN)), and the document tool alone cutting the first page.
#include <cstdio>
#include <cstring>
#include <functional>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "HostilePdf.h"
#include "PDFCompressCore.h"
#include "PathManager.h"
#include "PdfFactory.h"
#include "TestEnv.h"
#include "ThreadPool.h"
#include "Tool.h"

namespace
{
// Far above what any of these runs needs: a run that loses its bounds fails instead of taking the
// machine with it.
const rlim_t kAddressSpaceLimit = rlim_t(8) << 30;
const int kRunTimeoutMs = 120 * 1000;

long peakKb(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

// One run inside this process: "<outcome> <seconds> <own peak KB> <largest child's peak KB>".
int runHere(const QString& mode, const QString& input, const QString& output)
{
    const rlimit limit{kAddressSpaceLimit, kAddressSpaceLimit};
    setrlimit(RLIMIT_AS, &limit);
    QTemporaryDir dir;
    TestEnv::isolate(dir);
    QDir().mkpath(g_AppDataPath);
    QString outcome;
    QElapsedTimer clock;
    clock.start();
    if (mode == "engine") {
        ThreadPool::instance()->start(ThreadPool::workerCountFor(QThread::idealThreadCount()));
        PDFCompressCore engine(input, output, 30, nullptr);
        QEventLoop loop;
        QObject::connect(&engine, &PDFCompressCore::sig_sendProgress, &loop,
                         [&](float progress, bool stat, QString, float) {
                             if (progress < 0 || stat) {
                                 outcome = stat ? "compressed" : "failed";
                                 loop.quit();
                             }
                         });
        engine.start();
        loop.exec();
        ThreadPool::instance()->stop();
        const QStringList log = TestEnv::logLines();
        if (!log.filter("pdf left out ").isEmpty())
            outcome += ", named what it left out";
    } else {
        const int code = TestEnv::runTool(
            PathManager::instance()->converterPath(),
            {"-type=3", "-subtype=3", "-input=" + input, "-output=" + output, "-pageRange=1-1"}, nullptr,
            kRunTimeoutMs);
        outcome = code == 0 ? QString("cut, %1 page").arg(PdfFactory::pageCount(output))
                            : QString("exit %1").arg(code);
    }
    std::printf("%s\t%.2f\t%ld\t%ld\n", qPrintable(outcome), clock.elapsed() / 1000.0, peakKb(RUSAGE_SELF),
                peakKb(RUSAGE_CHILDREN));
    return 0;
}

// Runs this program once more for one run; its one line, or why there is none.
QStringList runApart(const QString& mode, const QString& input, const QString& output)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--run", mode, input, output});
    if (!child.waitForFinished(kRunTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        return {"no end in 120 s", "-", "-", "-"};
    }
    const QStringList fields = QString::fromUtf8(child.readAllStandardOutput()).trimmed().split('\t');
    if (child.exitStatus() != QProcess::NormalExit || fields.size() != 4)
        return {QString("died (%1)").arg(child.exitCode()), "-", "-", "-"};
    return fields;
}

QString megabytes(const QString& kilobytes)
{
    bool ok = false;
    const double value = kilobytes.toDouble(&ok);
    return ok ? QString::number(value / 1024.0, 'f', 1) : kilobytes;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && std::strcmp(argv[1], "--run") == 0) {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", (data.path() + "/data").toLocal8Bit());
        QGuiApplication app(argc, argv);
        return runHere(argv[2], argv[3], argv[4]);
    }
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;

    struct Case {
        const char* name;
        int pages;
        std::function<bool(const QString&)> write;
    };
    const Case cases[] = {
        {"sound, 3 pages", 3,
         [](const QString& path) {
             PdfFactory::Options options;
             options.pages = 3;
             options.content = PdfFactory::Content::Mixed;
             options.imageWidth = 400;
             return PdfFactory::write(path, options);
         }},
        {"3 pages, /Count 2000000000", 3,
         [](const QString& path) { return HostilePdf::writeClaimingPages(path, 3, 2000000000); }},
        {"7 pages, kids lead back to the root", 7,
         [](const QString& path) { return HostilePdf::writePageTreeLoop(path, 7); }},
        {"1 page, form fields list each other", 1,
         [](const QString& path) { return HostilePdf::writeFormWithKidsLoop(path); }},
    };

    std::printf("%d hardware threads; every run a process of its own, address space limited to %d GB\n\n",
                QThread::idealThreadCount(), int(kAddressSpaceLimit >> 30));
    std::printf("| file | size | engine | engine s | program peak MB | largest tool peak MB | tool alone | "
                "tool s | tool peak MB |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    int index = 0;
    for (const Case& hostile : cases) {
        const QString input = dir.filePath(QString("case%1.pdf").arg(index++));
        if (!hostile.write(input)) {
            std::printf("| %s | cannot make the file |\n", hostile.name);
            continue;
        }
        const QStringList engine = runApart("engine", input, input + ".engine.pdf");
        const QStringList tool = runApart("tool", input, input + ".tool.pdf");
        std::printf("| %s | %.1f KB | %s | %s | %s | %s | %s | %s | %s |\n", hostile.name,
                    QFileInfo(input).size() / 1024.0, qPrintable(engine[0]), qPrintable(engine[1]),
                    qPrintable(megabytes(engine[2])), qPrintable(megabytes(engine[3])), qPrintable(tool[0]),
                    qPrintable(tool[1]), qPrintable(megabytes(tool[3])));
        std::fflush(stdout);
    }
    return 0;
}
