#include "ImageCompressCore.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "ImageScale.h"
#include "core/Tool.h"
#include "core/ToolCommand.h"
#include "platform/PlatformConstants.h"

int g_imageEngineCount = 0;
const QString g_gifsiclePath = PlatformConstants::gifsicleProgram();

namespace
{
// The temporary folder of the image engine ("C:/VxTemp/" on Windows), with its trailing '/'.
QString imageTempDir()
{
    return PlatformConstants::tempFolder();
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
    : QObject(parent), m_pngquantPath(pngquantPath), m_convertPath(convertPath),
      m_tool(new ToolProcess(this)), m_timer(nullptr), m_progress(0.0f), m_scaleFirst(false),
      m_keepFormat(false), m_scaleSize(0, 0), m_timeLimitMs(ImageScale::kDefaultTimeLimitMs),
      m_number(++g_imageEngineCount), m_ended(false)
{
    m_timer = new QTimer(this);
    m_timer->start(1000);
    connect(m_timer, &QTimer::timeout, this, [this]() { onProgressTick(); });
    connect(m_tool, &ToolProcess::ended, this, &ImageCompressCore::onToolEnded);
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

    const QString output = outDir + "c_" + QFileInfo(inPath).baseName() + ".png";
    m_tempOutPath = imageTempDir() + "c_" + QString::number(m_number) + ".png";
    m_inPath = inPath;
    m_outPath = output;
    if (!tempFolderReady())
        return m_outPath;

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
    const QString output = outDir + "c_" + QFileInfo(inPath).baseName() + ".jpg";
    m_inPath = inPath;
    m_outPath = output;

    if (m_scaleFirst) {
        if (!tempFolderReady())
            return m_outPath;
        const bool isGif = QFileInfo(inPath).suffix().toLower() == "gif";
        scaleThen(isGif,
                  [this, output, quality](const QString& scaled) { runConvert(scaled, output, quality); });
    } else {
        runConvert(m_inPath, m_outPath, quality);
    }
    return m_outPath;
}

QString ImageCompressCore::compressGif(const QString& inPath, const QString& outDir, const int& quality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    const QString output = outDir + "c_" + QFileInfo(inPath).baseName() + ".gif";
    m_inPath = inPath;
    m_outPath = output;

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
    if (QFile::exists(inPath))
        return true;
    m_inPath = inPath;
    m_timer->stop();
    failLater("input missing");
    return false;
}

bool ImageCompressCore::tempFolderReady()
{
    if (PlatformConstants::makeTempFolder())
        return true;
    m_timer->stop();
    failLater("cannot create " + imageTempDir());
    return false;
}

void ImageCompressCore::scaleThen(bool byGifsicle, const std::function<void(const QString&)>& run)
{
    auto* scale = new ImageScale(m_convertPath, g_gifsiclePath, this);
    scale->setTimeLimit(m_timeLimitMs);
    connect(scale, &ImageScale::sig_scaleFinished, this, [this, run](const QString& scaled) {
        if (scaled.isEmpty())
            failQuietly(); // the scaler has logged why
        else
            run(scaled);
    });
    if (byGifsicle)
        scale->scaleByGifsicle(m_inPath, imageTempDir(), m_scaleSize.first, m_scaleSize.second);
    else
        scale->scaleByConvert(m_inPath, imageTempDir(), m_scaleSize.first, m_scaleSize.second);
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
                      text));
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
                      {"-quality", level, fileArgument(inPath), fileArgument(outPath)}, text));
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
                      {"-O3", fileArgument(inPath), "--colors", colours, "-o", fileArgument(outPath)}, text));
}

void ImageCompressCore::start(const ToolCommand& command)
{
    m_tool->setTimeLimit(m_timeLimitMs);
    m_tool->start(command);
}

void ImageCompressCore::onProgressTick()
{
    if (m_progress < 1.0f) {
        m_progress = float(double(m_progress) + 0.1);
        emit sig_sendProgress(m_progress, false, m_outPath, 0.0f);
    }
}

void ImageCompressCore::onToolEnded(ToolProcess::End end, int exitCode)
{
    if (m_ended)
        return;
    // pngquant ends with 99 when the quality range cannot be met, and writes nothing then.
    const QString failure = m_tool->failure(end, exitCode);
    if (!failure.isEmpty()) {
        fail(failure);
        return;
    }
    const bool byPngquant = !m_tempOutPath.isEmpty();
    const QString written = byPngquant ? m_tempOutPath : m_outPath;
    if (QFileInfo(written).size() <= 0) {
        fail("no output " + written);
        return;
    }
    if (byPngquant && !copyPngResult()) {
        failQuietly();
        return;
    }

    const float inSize = float(QFileInfo(m_inPath).size());
    const float outSize = float(QFileInfo(m_outPath).size());
    const float compRate = inSize > 0.0f ? outSize / inSize : 0.0f;

    if (m_keepFormat && QFileInfo(m_inPath).suffix().toLower() == "bmp" && m_outPath.endsWith(".jpg") &&
        !renameBmpResult()) {
        failQuietly();
        return;
    }

    m_ended = true;
    m_timer->stop();
    emit sig_sendProgress(1.0f, true, m_outPath, compRate);
}

bool ImageCompressCore::copyPngResult()
{
    // QFile::copy does not overwrite: an older result of the same name goes first.
    if (QFile::exists(m_outPath) && !QFile::remove(m_outPath))
        Tool::writeLog(QString("remove File %1 fail").arg(m_outPath));
    if (!QFile::copy(m_tempOutPath, m_outPath)) {
        Tool::writeLog("copy fail");
        return false;
    }
    return true;
}

bool ImageCompressCore::renameBmpResult()
{
    // The JPEG content stays; only the name takes the input's ".bmp" again.
    const QString jpgPath = m_outPath;
    const QString bmpPath = jpgPath.left(jpgPath.size() - 4) + ".bmp";
    if (QFile::exists(bmpPath) && !QFile::remove(bmpPath))
        Tool::writeLog(QString("remove file fail:%1").arg(bmpPath));
    const bool moved = QFile::rename(jpgPath, bmpPath);
    if (!moved)
        Tool::writeLog(QString("rename fail: %1").arg(jpgPath));
    m_outPath = bmpPath;
    return moved;
}

void ImageCompressCore::failLater(const QString& reason)
{
    // Reported after the compress call has returned, so the caller sees the same order as for a tool's end.
    QTimer::singleShot(0, this, [this, reason]() { fail(reason); });
}

void ImageCompressCore::fail(const QString& reason)
{
    if (m_ended)
        return;
    Tool::writeLog(QString("compress fail %1: %2").arg(m_inPath, reason));
    failQuietly();
}

void ImageCompressCore::failQuietly()
{
    if (m_ended)
        return;
    m_ended = true;
    m_timer->stop();
    emit sig_sendProgress(-1.0f, false, m_outPath, 0.0f);
}
