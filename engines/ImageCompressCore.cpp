#include "ImageCompressCore.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "FilePlacement.h"
#include "ImageScale.h"
#include "JobEnding.h"
#include "OutputPaths.h"
#include "PlatformConstants.h"
#include "SmallerResult.h"
#include "TempFolder.h"
#include "Tool.h"
#include "ToolCommand.h"

int g_imageEngineCount = 0;
const QString g_gifsiclePath = PlatformConstants::gifsicleProgram();

namespace
{
// The image engine's temporary folder: this program's own subfolder of "C:/VxTemp/" (Windows),
// with its trailing '/'.
QString imageTempDir()
{
    return TempFolder::path();
}

// A file argument that begins with '-' would be read as an option; "./" keeps it a file name.
QString fileArgument(const QString& path)
{
    return path.startsWith('-') ? "./" + path : path;
}

// gifsicle's colour count for a quality in percent: all 256 colours from 100 on, else the share of 256.
int colourCount(int quality)
{
    if (quality >= 100)
        return 256;
    return int(double(256 * quality) / 100);
}
} // namespace

ImageCompressCore::ImageCompressCore(QString pngquantPath, QString convertPath, QObject* parent)
    : QObject(parent)
    , m_pngquantPath(pngquantPath)
    , m_convertPath(convertPath)
    , m_tool(new ToolProcess(this))
    , m_timer(nullptr)
    , m_progress(0.0f)
    , m_scaleFirst(false)
    , m_keepFormat(false)
    , m_scaleSize(0, 0)
    , m_timeLimitMs(ImageScale::kDefaultTimeLimitMs)
    , m_number(++g_imageEngineCount)
    , m_ending(new JobEnding("image", this))
    , m_scale(nullptr)
{
    m_timer = new QTimer(this);
    m_timer->start(1000);
    connect(m_timer, &QTimer::timeout, this, [this]() { onProgressTick(); });
    connect(m_tool, &ToolProcess::ended, this, &ImageCompressCore::onToolEnded);
    connect(m_ending, &JobEnding::sig_sendProgress, this, &ImageCompressCore::sig_sendProgress);
    connect(m_ending, &JobEnding::stopping, this, &ImageCompressCore::stopTools);
}

ImageCompressCore::~ImageCompressCore()
{
    cancel();
}

void ImageCompressCore::cancel()
{
    m_ending->cancel();
}

void ImageCompressCore::stopTools()
{
    m_timer->stop();
    if (m_scale)
        m_scale->cancel();
    m_tool->cancel();
}

void ImageCompressCore::setScaleSize(int width, int height)
{
    m_scaleFirst = true;
    m_scaleSize = qMakePair(width, height);
}

void ImageCompressCore::setKeepFormat(const bool& keep)
{
    m_keepFormat = keep;
}

QString ImageCompressCore::compressPng(const QString& inPath, const QString& outDir, const int& minQuality,
                                       const int& maxQuality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    const QString output = OutputPaths::claim(outDir + "c_" + QFileInfo(inPath).baseName() + ".png");
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);
    if (!tempFolderReady())
        return m_outPath;
    m_tempOutPath = numberedTempPath("png");
    m_ending->addIntermediate(m_tempOutPath);

    if (m_scaleFirst) {
        const QString tempOutPath = m_tempOutPath;
        scaleThen(false, [this, tempOutPath, minQuality, maxQuality](const QString& scaled) {
            runPngquant(scaled, tempOutPath, minQuality, maxQuality);
        });
    } else {
        runPngquant(m_inPath, m_tempOutPath, minQuality, maxQuality);
    }
    return m_outPath;
}

QString ImageCompressCore::compressJpg(const QString& inPath, const QString& outDir, const int& quality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    Tool::writeLog(QString("jpg compress %1").arg(inPath));
    // A BMP kept in its format is a JPEG under the ".bmp" name: convert writes it in the temporary
    // folder, never beside the outputs, where it could meet another file's ".jpg" result.
    const bool bmpKept = m_keepFormat && QFileInfo(inPath).suffix().toLower() == "bmp";
    const QString output =
        OutputPaths::claim(outDir + "c_" + QFileInfo(inPath).baseName() + (bmpKept ? ".bmp" : ".jpg"));
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);
    if ((m_scaleFirst || bmpKept) && !tempFolderReady())
        return m_outPath;
    if (bmpKept) {
        m_bmpJpegPath = numberedTempPath("jpg");
        m_ending->addIntermediate(m_bmpJpegPath);
    }
    const QString written = bmpKept ? m_bmpJpegPath : output;

    if (m_scaleFirst) {
        const bool isGif = QFileInfo(inPath).suffix().toLower() == "gif";
        scaleThen(isGif,
                  [this, written, quality](const QString& scaled) { runConvert(scaled, written, quality); });
    } else {
        runConvert(m_inPath, written, quality);
    }
    return m_outPath;
}

QString ImageCompressCore::compressGif(const QString& inPath, const QString& outDir, const int& quality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    const QString output = OutputPaths::claim(outDir + "c_" + QFileInfo(inPath).baseName() + ".gif");
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);

    if (m_scaleFirst) {
        if (!tempFolderReady())
            return m_outPath;
        scaleThen(true,
                  [this, output, quality](const QString& scaled) { runGifsicle(scaled, output, quality); });
    } else {
        runGifsicle(inPath, m_outPath, quality);
    }
    return m_outPath;
}

bool ImageCompressCore::inputPresent(const QString& inPath)
{
    m_ending->setInput(inPath);
    if (QFile::exists(inPath))
        return true;
    m_inPath = inPath;
    m_timer->stop();
    failLater("input missing");
    return false;
}

bool ImageCompressCore::tempFolderReady()
{
    if (!imageTempDir().isEmpty())
        return true;
    m_timer->stop();
    failLater("cannot create a folder in " + PlatformConstants::tempFolder());
    return false;
}

QString ImageCompressCore::numberedTempPath(const QString& suffix) const
{
    return imageTempDir() + "c_" + QString::number(m_number) + '.' + suffix;
}

void ImageCompressCore::scaleThen(bool byGifsicle, const std::function<void(const QString&)>& run)
{
    m_scale = new ImageScale(m_convertPath, g_gifsiclePath, this);
    m_scale->setTimeLimit(m_timeLimitMs);
    ImageScale* scale = m_scale;
    connect(m_scale, &ImageScale::sig_scaleFinished, this, [this, scale, run](const QString& scaled) {
        m_scale = nullptr;
        if (scaled.isEmpty()) {
            m_ending->fail("cannot resize: " + scale->failure());
            return;
        }
        m_ending->addIntermediate(scaled);
        run(scaled);
    });
    if (byGifsicle)
        m_scale->scaleByGifsicle(m_inPath, imageTempDir(), m_scaleSize.first, m_scaleSize.second);
    else
        m_scale->scaleByConvert(m_inPath, imageTempDir(), m_scaleSize.first, m_scaleSize.second);
}

void ImageCompressCore::runPngquant(const QString& inPath, const QString& outPath, const int& minQuality,
                                    const int& maxQuality)
{
    const QString min = QString::number(minQuality);
    const QString max = QString::number(maxQuality);
    const QString text =
        QString("%1 --quality %2-%3 -f %4 -o %5")
            .arg(Tool::quote(m_pngquantPath), min, max, Tool::quote(inPath), Tool::quote(outPath));
    Tool::writeLog(QString("start compress %1: %2").arg(inPath, text));
    start(ToolCommand(PlatformConstants::findProgram(m_pngquantPath),
                      {"--quality", min + '-' + max, "-f", fileArgument(inPath), "-o", fileArgument(outPath)},
                      text),
          outPath);
}

void ImageCompressCore::runConvert(QString inPath, const QString& outPath, const int& quality)
{
    // convert reads only the first frame of "name.gif[0]", so an animation becomes one still picture.
    if (QFileInfo(inPath).suffix().toLower() == "gif")
        inPath += "[0]";
    const QString level = QString::number(quality) + '%';
    const QString text =
        QString("%1 -quality %2 %3  %4")
            .arg(Tool::quote(m_convertPath), level, Tool::quote(inPath), Tool::quote(outPath));
    Tool::writeLog(QString("start compress %1: %2").arg(inPath, text));
    start(ToolCommand(PlatformConstants::findProgram(m_convertPath),
                      {"-quality", level, fileArgument(inPath), fileArgument(outPath)}, text),
          outPath);
}

void ImageCompressCore::runGifsicle(const QString& inPath, const QString& outPath, const int& quality)
{
    if (!QFile::exists(inPath)) {
        failLater("input missing");
        return;
    }
    const QString colours = QString::number(colourCount(quality));
    const QString text =
        QString("%1 -O3 %2 --colors %3 -o %4")
            .arg(Tool::quote(g_gifsiclePath), Tool::quote(inPath), colours, Tool::quote(outPath));
    Tool::writeLog("gifcomp" + text);
    start(ToolCommand(PlatformConstants::findProgram(g_gifsiclePath),
                      {"-O3", fileArgument(inPath), "--colors", colours, "-o", fileArgument(outPath)}, text),
          outPath);
}

void ImageCompressCore::start(const ToolCommand& command, const QString& writes)
{
    if (m_ending->isOver())
        return;
    m_toolOutput = writes;
    // pngquant and the JPEG of a kept BMP write intermediate files, which go at any end anyway.
    if (writes == m_outPath)
        m_ending->writerStarts(m_tool);
    m_tool->setTimeLimit(m_timeLimitMs);
    m_tool->start(command);
}

void ImageCompressCore::onProgressTick()
{
    if (m_progress < 1.0f) {
        m_progress = float(double(m_progress) + 0.1);
        m_ending->progress(m_progress, m_outPath);
    }
}

void ImageCompressCore::onToolEnded(ToolProcess::End end, int exitCode)
{
    if (m_ending->isOver())
        return;
    // pngquant ends with 99 when the quality range cannot be met, and writes nothing then.
    const QString failure = m_tool->failure(end, exitCode);
    if (!failure.isEmpty()) {
        m_ending->fail(failure);
        return;
    }
    if (QFileInfo(m_toolOutput).size() <= 0) {
        m_ending->fail("no output " + m_toolOutput);
        return;
    }
    // pngquant's result is copied out of the temporary folder, replacing an older file of the name.
    if (!m_tempOutPath.isEmpty() && !FilePlacement::copy(m_tempOutPath, m_outPath)) {
        m_ending->fail(QString("cannot copy %1 to %2").arg(m_tempOutPath, m_outPath));
        return;
    }
    // The JPEG content of a kept BMP stays; only the name takes the input's ".bmp" again.
    if (!m_bmpJpegPath.isEmpty() && !FilePlacement::move(m_bmpJpegPath, m_outPath)) {
        m_ending->fail(QString("cannot move %1 to %2").arg(m_bmpJpegPath, m_outPath));
        return;
    }

    // A picture kept in its format comes back no larger than it was given; a BMP kept as a JPEG under
    // its ".bmp" name that is not smaller is replaced by the real BMP.
    const SmallerResult result = SmallerResult::settle("image", m_inPath, m_outPath);
    if (result.failed()) {
        m_ending->fail("cannot copy the input to " + m_outPath);
        return;
    }
    m_ending->succeed(float(result.rate()));
}

void ImageCompressCore::failLater(const QString& reason)
{
    // Reported after the compress call has returned, so the caller sees the same order as for a tool's end.
    QTimer::singleShot(0, this, [this, reason]() { m_ending->fail(reason); });
}
