// Word and PowerPoint compression on generated packages with photo-heavy media: the document
// engine (which runs the compression tool) at its three levels, against two peers in the same
// run: the package merely re-zipped (pictures untouched) and LibreOffice re-saving it.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include "DocCompressCore.h"
#include "OoxmlPackage.h"
#include "PlatformConstants.h"
#include "TestEnv.h"

namespace
{
struct Run {
    bool ok = false;
    double seconds = 0;
    double ratio = 0;
};

struct Sample {
    QString name;
    QString path;
    QString description;
};

Run runEngine(const QString& input, const QString& output, CompressLevel level)
{
    Run run;
    DocCompressCore engine(PlatformConstants::compressionToolPath(), PlatformConstants::docToolPath(false));
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&engine, &DocCompressCore::sig_sendProgress, &loop,
                     [&](float progress, bool stat, QString, float rate) {
                         if (progress < 0 || stat) {
                             ended = true;
                             run.ok = stat;
                             run.ratio = rate;
                             loop.quit();
                         }
                     });
    QElapsedTimer clock;
    clock.start();
    engine.compress(input, output, level);
    if (!ended)
        loop.exec();
    run.seconds = clock.elapsed() / 1000.0;
    return run;
}

Run rezip(const QString& input, const QString& output)
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    QList<OoxmlPackage::Entry> entries = OoxmlPackage::read(input);
    for (OoxmlPackage::Entry& entry : entries)
        entry.deflated = true;
    run.ok = !entries.isEmpty() && OoxmlPackage::write(output, entries);
    run.seconds = clock.elapsed() / 1000.0;
    run.ratio = double(QFileInfo(output).size()) / double(QFileInfo(input).size());
    return run;
}

Run libreOffice(const QString& input, const QString& outDir, const QString& profile)
{
    Run run;
    const QString suffix = QFileInfo(input).suffix();
    QDir().mkpath(outDir);
    QElapsedTimer clock;
    clock.start();
    const int code = TestEnv::runTool(
        "soffice",
        {"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded), "--headless",
         "--norestore", "--convert-to", suffix, "--outdir", outDir, input},
        nullptr, 600000);
    run.seconds = clock.elapsed() / 1000.0;
    const QString output = outDir + "/" + QFileInfo(input).fileName();
    run.ok = code == 0 && QFileInfo(output).size() > 0;
    run.ratio = double(QFileInfo(output).size()) / double(QFileInfo(input).size());
    return run;
}

QString cell(const Run& run)
{
    if (!run.ok)
        return "failed";
    return QString("%1 (%2 s)").arg(run.ratio, 0, 'f', 3).arg(run.seconds, 0, 'f', 2);
}

QString megabytes(const QString& path)
{
    return QString::number(double(QFileInfo(path).size()) / (1024.0 * 1024.0), 'f', 1) + " MB";
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    TestEnv::isolate(dir);
    qputenv("HOME", (dir.path() + "/home").toLocal8Bit());

    // Camera-sized photographs at camera quality; a few charts as PNG.
    QList<OoxmlPackage::Media> photos;
    for (int i = 0; i < 8; ++i)
        photos << OoxmlPackage::Media{
            QString("image%1.jpeg").arg(i + 1),
            OoxmlPackage::jpeg(OoxmlPackage::photo(4000, 3000, quint32(100 + i)), 92)};
    QList<OoxmlPackage::Media> report;
    for (int i = 0; i < 5; ++i)
        report << OoxmlPackage::Media{
            QString("image%1.jpeg").arg(i + 1),
            OoxmlPackage::jpeg(OoxmlPackage::photo(3264, 2448, quint32(200 + i)), 90)};
    report << OoxmlPackage::Media{"image6.png", OoxmlPackage::png(OoxmlPackage::photo(2000, 1500, 300))};
    QList<OoxmlPackage::Media> mixed;
    for (int i = 0; i < 3; ++i)
        mixed << OoxmlPackage::Media{
            QString("image%1.jpeg").arg(i + 1),
            OoxmlPackage::jpeg(OoxmlPackage::photo(3000, 2000, quint32(400 + i)), 92)};
    for (int i = 0; i < 4; ++i)
        mixed << OoxmlPackage::Media{
            QString("image%1.png").arg(i + 4),
            OoxmlPackage::png(OoxmlPackage::diagram(2400 + 200 * i, 1350 + 100 * i))};

    const QList<Sample> samples = {
        {"photo-heavy pptx", dir.path() + "/photos.pptx", "8 slides, 8 JPEG photos 4000x3000 q92"},
        {"photo-heavy docx", dir.path() + "/report.docx",
         "5 JPEG photos 3264x2448 q90, 1 PNG photo 2000x1500"},
        {"mixed pptx", dir.path() + "/mixed.pptx",
         "3 JPEG photos 3000x2000 q92, 4 PNG charts 2400..3000 wide"},
    };
    if (!OoxmlPackage::write(samples[0].path, OoxmlPackage::presentation(photos)) ||
        !OoxmlPackage::write(samples[1].path, OoxmlPackage::wordDocument(report)) ||
        !OoxmlPackage::write(samples[2].path, OoxmlPackage::presentation(mixed))) {
        std::fprintf(stderr, "cannot write the sample packages\n");
        return 1;
    }

    const bool haveOffice = !QStandardPaths::findExecutable("soffice").isEmpty();
    std::printf("Size ratio (output / input) and wall time; the engine runs the compression tool.\n\n");
    std::printf("| package | input | level 0 clarity | level 1 normal | level 2 smallest | re-zip only | "
                "LibreOffice re-save |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    bool targetMet = true;
    for (const Sample& sample : samples) {
        QStringList cells;
        for (int level = 0; level < 3; ++level) {
            const QString output =
                QString("%1/c%2_%3").arg(dir.path()).arg(level).arg(QFileInfo(sample.path).fileName());
            const Run run = runEngine(sample.path, output, CompressLevel(level));
            cells << cell(run);
            if (sample.name == "photo-heavy pptx" && level == 2 && (!run.ok || run.ratio >= 0.3))
                targetMet = false;
        }
        cells << cell(rezip(sample.path, dir.path() + "/rezip_" + QFileInfo(sample.path).fileName()));
        cells << (haveOffice ? cell(libreOffice(sample.path, dir.path() + "/lo", dir.path() + "/lo-profile"))
                             : QString("not installed"));
        std::printf("| %s (%s) | %s | %s |\n", qPrintable(sample.name), qPrintable(sample.description),
                    qPrintable(megabytes(sample.path)), qPrintable(cells.join(" | ")));
        std::fflush(stdout);
    }
    std::printf("\nTarget (photo-heavy pptx at level 2 below 0.3): %s\n", targetMet ? "met" : "NOT met");
    return targetMet ? 0 : 2;
}
