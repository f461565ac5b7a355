#include "ImageCompressCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSize>
#include <QTimer>

#include "GifTiming.h"
#include "ImageScale.h"
#include "JobEnding.h"
#include "MagickPolicy.h"
#include "OutputPaths.h"
#include "PictureHeader.h"
#include "PlatformConstants.h"
#include "ResultCheck.h"
#include "ResultSettler.h"
#include "SmallerResult.h"
#include "TempFolder.h"
#include "Tool.h"
#include "ToolCommand.h"

int g_imageEngineCount = 0;
const QString g_gifsiclePath = PlatformConstants::gifsicleProgram();

namespace
{
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
    , m_settler(new ResultSettler(this))
{
    m_timer = new QTimer(this);
    m_timer->start(1000);
    connect(m_timer, &QTimer::timeout, this, [this]() { onProgressTick(); });
    connect(m_tool, &ToolProcess::ended, this, &ImageCompressCore::onToolEnded);
    connect(m_ending, &JobEnding::sig_sendProgress, this, &ImageCompressCore::sig_sendProgress);
    connect(m_ending, &JobEnding::stopping, this, &ImageCompressCore::stopTools);
    connect(m_settler, &ResultSettler::settled, this, &ImageCompressCore::onSettled);
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
    m_settler->cancel();
}

void ImageCompressCore::setScaleSize(int width, int height)
{
    // A share of a tiny picture may come to no pixel at all, which no tool makes.
    m_scaleFirst = true;
    m_scaleSize = qMakePair(qMax(1, width), qMax(1, height));
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

    const QString output = OutputPaths::claim(outDir + "c_" + QFileInfo(inPath).baseName() + ".png", inPath);
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);
    if (!tempFolderReady())
        return m_outPath;
    const QString written = numberedTempPath("png");
    m_ending->addIntermediate(written);

    if (m_inputFrames > 1) {
        keepAnimation();
    } else if (m_scaleFirst) {
        if (!policyReady())
            return m_outPath;
        scaleThen(false, [this, written, minQuality, maxQuality](const QString& scaled) {
            runPngquant(scaled, written, minQuality, maxQuality);
        });
    } else {
        runPngquant(m_inPath, written, minQuality, maxQuality);
    }
    return m_outPath;
}

QString ImageCompressCore::compressJpg(const QString& inPath, const QString& outDir, const int& quality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    Tool::writeLog(QString("jpg compress %1").arg(inPath));
    // A BMP kept in its format is a JPEG under the ".bmp" name.
    const bool bmpKept = m_keepFormat && QFileInfo(inPath).suffix().toLower() == "bmp";
    const QString output = OutputPaths::claim(
        outDir + "c_" + QFileInfo(inPath).baseName() + (bmpKept ? ".bmp" : ".jpg"), inPath);
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);
    if (!tempFolderReady() || !policyReady())
        return m_outPath;
    // convert reads "%d", "%o", "%x" ... in an output name as its own escapes: it writes a numbered
    // name in the temporary folder, which then takes the output's name.
    const QString written = numberedTempPath("jpg");
    m_ending->addIntermediate(written);

    if (m_scaleFirst) {
        const bool isGif = QFileInfo(inPath).suffix().toLower() == "gif";
        scaleThen(isGif,
                  [this, written, quality](const QString& scaled) { runConvert(scaled, written, quality); });
    } else {
        const QString link = convertInput(m_inPath);
        if (!link.isEmpty())
            runConvert(link, written, quality);
    }
    return m_outPath;
}

QString ImageCompressCore::compressGif(const QString& inPath, const QString& outDir, const int& quality)
{
    if (!inputPresent(inPath))
        return m_outPath;

    const QString output = OutputPaths::claim(outDir + "c_" + QFileInfo(inPath).baseName() + ".gif", inPath);
    m_inPath = inPath;
    m_outPath = output;
    m_ending->setOutput(output);
    if (!tempFolderReady())
        return m_outPath;
    const QString written = numberedTempPath("gif");
    m_ending->addIntermediate(written);

    if (m_scaleFirst) {
        scaleThen(true,
                  [this, written, quality](const QString& scaled) { runGifsicle(scaled, written, quality); });
    } else {
        runGifsicle(inPath, written, quality);
    }
    return m_outPath;
}

bool ImageCompressCore::inputPresent(const QString& inPath)
{
    m_ending->setInput(inPath);
    const QFileInfo input(inPath);
    if (input.isFile()) {
        // What a whole result holds, from the picture's header (and the frames of a GIF), now: the
        // input may change or go while the tool runs.
        QImageReader reader(inPath);
        m_inputTiming = reader.format() == "gif" ? GifTiming::of(inPath) : GifTiming();
        // A typed size is the size the picture shows at: one that its EXIF orientation turns by a
        // quarter is stored the other way round, so its pixels are resized to the sides swapped and
        // the kept orientation turns them upright again.
        if (m_scaleFirst && reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
            m_scaleSize = qMakePair(m_scaleSize.second, m_scaleSize.first);
        m_resultSize =
            m_scaleFirst ? QSize(m_scaleSize.first, m_scaleSize.second) : PictureHeader::size(reader);
        m_inputFrames = reader.format() == "gif" ? reader.imageCount() : 1;
        if (reader.format() == "png")
            m_inputFrames = qMax(1, ResultCheck::pngFrameCount(inPath));
        return true;
    }
    m_inPath = inPath;
    m_timer->stop();
    // A pipe or a device would hold the tool until its time limit: not even opened.
    failLater(input.exists() ? "the input is not a plain file" : "input missing");
    return false;
}

bool ImageCompressCore::tempFolderReady()
{
    // Every file of the job, whatever a tool writes beside its output (the frames of an animation,
    // ImageMagick's pixel cache), lies in the job's own folder and goes with it.
    const QString base = TempFolder::path();
    const QString folder = base + "image_" + QString::number(m_number);
    if (!base.isEmpty() && QDir().mkpath(folder)) {
        m_jobFolder = folder + '/';
        m_ending->addIntermediate(folder);
        return true;
    }
    m_timer->stop();
    failLater("cannot create a folder in " + PlatformConstants::tempFolder());
    return false;
}

bool ImageCompressCore::policyReady()
{
    const QString folder = m_jobFolder + "magick";
    if (!MagickPolicy::write(folder)) {
        m_timer->stop();
        failLater("cannot write " + folder + "/policy.xml");
        return false;
    }
    m_policyFolder = folder;
    return true;
}

QString ImageCompressCore::numberedTempPath(const QString& suffix) const
{
    return m_jobFolder + "c_" + QString::number(m_number) + '.' + suffix;
}

QString ImageCompressCore::convertInput(const QString& inPath)
{
    // convert reads "*", "?" and "[n]" in an input name as its own syntax (a pattern that matches
    // every neighbour, a frame), and "%d" once a frame is chosen: a link of the engine's own naming in
    // the temporary folder leaves it nothing to misread.
    const QString link = m_jobFolder + "in_" + QString::number(m_number) + '.' + QFileInfo(inPath).suffix();
    QFile::remove(link);
    if (!QFile::link(QFileInfo(inPath).absoluteFilePath(), link)) {
        m_timer->stop();
        failLater("cannot make the link " + link);
        return QString();
    }
    m_ending->addIntermediate(link);
    return link;
}

void ImageCompressCore::keepAnimation()
{
    // pngquant and convert write the first frame of an animated PNG only: the animation comes back as
    // it was, at its own size, through a link in the temporary folder that the settling step copies.
    Tool::writeLog(QString("image compress %1: an animated PNG of %2 frames, which pngquant cannot keep")
                       .arg(m_inPath)
                       .arg(m_inputFrames));
    const QString link = convertInput(m_inPath);
    if (link.isEmpty())
        return;
    const QSize size = PictureHeader::size(m_inPath);
    const int frames = m_inputFrames;
    m_settler->settle("image", m_inPath, link, m_outPath, [size, frames](const QString& written) {
        const QString wanting = ResultCheck::picture(written, size);
        return wanting.isEmpty() ? ResultCheck::pngFrames(written, frames) : wanting;
    });
}

void ImageCompressCore::scaleThen(bool byGifsicle, const std::function<void(const QString&)>& run)
{
    m_scale = new ImageScale(m_convertPath, g_gifsiclePath, this);
    m_scale->setTimeLimit(m_timeLimitMs);
    m_scale->setPolicyFolder(m_policyFolder);
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
        m_scale->scaleByGifsicle(m_inPath, m_jobFolder, m_scaleSize.first, m_scaleSize.second);
    else if (const QString link = convertInput(m_inPath); !link.isEmpty())
        m_scale->scaleByConvert(link, m_jobFolder, m_scaleSize.first, m_scaleSize.second);
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
                      {"--quality", min + '-' + max, "-f", ToolCommand::fileArgument(inPath), "-o",
                       ToolCommand::fileArgument(outPath)},
                      text),
          outPath);
}

void ImageCompressCore::runConvert(QString inPath, const QString& outPath, const int& quality)
{
    // convert reads only the first frame of "name.gif[0]", so an animation becomes one still picture.
    const bool gif = QFileInfo(inPath).suffix().toLower() == "gif";
    if (gif)
        inPath += "[0]";
    const QString level = QString::number(quality) + '%';
    const QString text =
        QString("%1 -quality %2 %3  %4")
            .arg(Tool::quote(m_convertPath), level, Tool::quote(inPath), Tool::quote(outPath));
    Tool::writeLog(QString("start compress %1: %2").arg(inPath, text));
    // A JPEG has no transparency: the picture is laid on white, not on whatever colour the transparent
    // pixels carry (black, for most programs), and on its whole canvas, as a viewer shows it: a GIF's
    // first frame may cover only part of it. Other pictures are shown without the page offset that a
    // crop leaves in a PNG, so their canvas is the picture itself.
    QStringList arguments{"-quality", level, ToolCommand::fileArgument(inPath)};
    if (!gif)
        arguments += "+repage";
    arguments += {"-background", "white", "-flatten"};
    arguments += ToolCommand::fileArgument(outPath);
    if (!m_policyFolder.isEmpty())
        MagickPolicy::apply(m_tool->process(), m_policyFolder);
    start(ToolCommand(PlatformConstants::findProgram(m_convertPath), arguments, text), outPath);
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
                      {"-O3", ToolCommand::fileArgument(inPath), "--colors", colours, "-o",
                       ToolCommand::fileArgument(outPath)},
                      text),
          outPath);
}

void ImageCompressCore::start(const ToolCommand& command, const QString& writes)
{
    if (m_ending->isOver())
        return;
    m_toolOutput = writes;
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
    // Every tool writes into the temporary folder: the result takes the output's name only once it is
    // whole, and one kept in its format comes back no larger than it was given (a BMP kept as a JPEG
    // under its ".bmp" name that is not smaller is replaced by the real BMP).
    const QString input = m_inPath;
    const int frames = m_inputFrames;
    const GifTiming timing = m_inputTiming;
    const QSize size = m_resultSize;
    const QString format = QFileInfo(m_toolOutput).suffix();
    m_settler->settle(
        "image", input, m_toolOutput, m_outPath, [format, frames, timing, size](const QString& written) {
            if (format == "gif")
                return ResultCheck::gif(written, frames, timing);
            const QString wanting = ResultCheck::picture(written, size);
            return wanting.isEmpty() && format == "png" ? ResultCheck::pngFrames(written, frames) : wanting;
        });
}

void ImageCompressCore::onSettled(const SmallerResult& result)
{
    if (result.failed()) {
        m_ending->fail(result.failure());
        return;
    }
    // The name may have been taken by another program meanwhile: the report names the file written.
    m_outPath = result.path();
    m_ending->setOutput(m_outPath);
    m_ending->succeed(float(result.rate()));
}

void ImageCompressCore::failLater(const QString& reason)
{
    // Reported after the compress call has returned, so the caller sees the same order as for a tool's end.
    QTimer::singleShot(0, this, [this, reason]() { m_ending->fail(reason); });
}
