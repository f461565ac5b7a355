#include "DocCompressCore.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegExp>
#include <QTimer>

#include "DocConvert.h"
#include "JobEnding.h"
#include "PDFCompressCore.h"
#include "PlatformConstants.h"
#include "ResultCheck.h"
#include "ResultSettler.h"
#include "SmallerResult.h"
#include "TempFolder.h"
#include "Tool.h"

namespace
{
const QRegExp kPercentPattern("\\d\\d");
const QRegExp kOutcomePattern("success|Not");
} // namespace

// Large presentations with many photographs take minutes; nothing sensible takes an hour.
const int DocCompressCore::kTimeLimitMs = 60 * 60 * 1000;

DocCompressCore::DocCompressCore(const QString& compressionToolPath, const QString& docToolPath,
                                 QObject* parent)
    : QObject(parent)
    , m_tool(new ToolProcess(this))
    , m_toolPath(compressionToolPath)
    , m_docToolPath(docToolPath)
    , m_timer(new QTimer(this))
    , m_progress(0.0f)
    , m_ending(nullptr)
    , m_converter(nullptr)
    , m_settler(new ResultSettler(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] { onProgressTick(); });
    m_tool->setTimeLimit(kTimeLimitMs);
    connect(m_tool, &ToolProcess::ended, this, &DocCompressCore::onToolEnded);
    connect(m_settler, &ResultSettler::settled, this, &DocCompressCore::onSettled);
}

DocCompressCore::~DocCompressCore()
{
    cancel();
}

void DocCompressCore::cancel()
{
    // A PDF job is the PDF engine's own, ended there; a Word or PowerPoint job ends here.
    if (m_pdfEngine)
        m_pdfEngine->cancel();
    if (m_ending)
        m_ending->cancel();
}

void DocCompressCore::stopTools()
{
    m_timer->stop();
    if (m_converter)
        m_converter->cancel();
    m_tool->cancel();
    m_settler->cancel();
}

QString DocCompressCore::jobFolder() const
{
    return m_ending && !m_ending->isOver() ? m_jobFolder : QString();
}

void DocCompressCore::makeEnding()
{
    if (m_ending)
        return;
    m_ending = new JobEnding("doc", this);
    connect(m_ending, &JobEnding::sig_sendProgress, this, &DocCompressCore::sig_sendProgress);
    connect(m_ending, &JobEnding::stopping, this, &DocCompressCore::stopTools);
}

bool DocCompressCore::makeJobFolder()
{
    m_jobFolder = TempFolder::jobFolder("doc");
    if (m_jobFolder.isEmpty())
        return false;
    // It goes with the job, whatever the end (the converted document, the tool's result and its own
    // files in it).
    m_ending->addIntermediate(m_jobFolder);
    return true;
}

ToolCommand DocCompressCore::compressCommand(const QString& toolPath, const QString& inputPath,
                                             const QString& outputPath, const CompressLevel& level)
{
    QString pattern = "%1 %2 %3 0";
    QString digit = "0";
    if (level == 2) {
        pattern = "%1 %2 %3 2";
        digit = "2";
    } else if (level == 1) {
        pattern = "%1 %2 %3 1";
        digit = "1";
    }
    const QString text = pattern.arg(Tool::quote(toolPath), Tool::quote(inputPath), Tool::quote(outputPath));
    return ToolCommand(toolPath, {inputPath, outputPath, digit}, text);
}

void DocCompressCore::compress(QString inputPath, QString outputPath, const CompressLevel& level)
{
    m_sourcePath = inputPath;
    m_inputPath = inputPath;
    m_outputPath = outputPath;
    makeEnding();
    m_ending->setInput(inputPath);
    m_ending->setOutput(outputPath);
    if (!QFile::exists(inputPath)) {
        m_ending->fail("input file missing");
        return;
    }
    if (!QFileInfo(inputPath).isFile()) { // a pipe or a device would hold the tools
        m_ending->fail("the input is not a plain file");
        return;
    }

    if (!makeJobFolder()) {
        m_ending->fail("cannot make a folder in " + PlatformConstants::tempFolder());
        return;
    }

    const QString suffix = QFileInfo(inputPath).suffix().toLower();
    if (suffix == "ppt" || suffix == "doc") {
        // Converted into the job's own folder: two legacy files of the same base name (from different
        // folders) must never share, or swap, a converted file.
        const QString converted =
            QString("%1/%2.%3")
                .arg(m_jobFolder, QFileInfo(inputPath).baseName(), suffix == "ppt" ? "pptx" : "docx");
        m_convertedPath = converted;

        m_converter = new DocConvert(m_docToolPath, this);
        const CompressLevel levelCopy = level;
        connect(m_converter, &DocConvert::sig_Finished, this, [this, converted, outputPath, levelCopy] {
            if (QFileInfo(converted).size() <= 0) {
                m_ending->fail("no converted file " + converted);
                return;
            }
            m_progress = 0.5f;
            m_timer->start(1000);
            startCompress(converted, outputPath, levelCopy);
        });
        connect(m_converter, &DocConvert::sig_Failed, this,
                [this](const QString& reason) { m_ending->fail("conversion failed: " + reason); });
        m_converter->convert(inputPath, converted);
        return;
    }

    m_timer->start(1000);
    qDebug() << inputPath;
    startCompress(inputPath, outputPath, level);
}

void DocCompressCore::startCompress(QString inputPath, QString outputPath, const CompressLevel& level)
{
    m_inputPath = inputPath;
    m_outputPath = outputPath;
    // The tool writes into the job's folder; its result takes the output's name once it is whole.
    m_written = m_jobFolder + "/result." + QFileInfo(outputPath).suffix();
    QString written = m_written;
    // The tool takes the platform's own separators (backslashes on Windows).
    inputPath.replace('/', PlatformConstants::nativeSeparator());
    written.replace('/', PlatformConstants::nativeSeparator());
    ToolCommand command = compressCommand(m_toolPath, inputPath, written, level);
    Tool::writeLog(QString("start compress %1: %2").arg(inputPath, command.text()));
    // The tool's own temporary files go into the job's folder too.
    command.setTempFolder(m_jobFolder);
    m_tool->start(command);
}

void DocCompressCore::onProgressTick()
{
    if (double(m_progress) >= 1.0)
        return;
    m_progress = float(double(m_progress) + 0.1);
    m_ending->progress(m_progress, m_outputPath);
}

void DocCompressCore::onToolEnded(ToolProcess::End end, int exitCode)
{
    if (!m_ending || m_ending->isOver())
        return;
    QProcess* process = m_tool->process();
    if (end == ToolProcess::End::FailedToStart) {
        m_ending->fail(QString("compression tool cannot start (%1)").arg(process->errorString()));
        return;
    }
    if (end == ToolProcess::End::TimedOut) {
        m_ending->fail(QString("compression tool gave no result within %1 s").arg(kTimeLimitMs / 1000));
        return;
    }
    if (end != ToolProcess::End::Exited) {
        m_ending->fail("compression tool crashed");
        return;
    }
    if (exitCode != 0) {
        // The tool's last line names its reason; peek so that the output parser still finds it all.
        const QStringList lines =
            QString::fromUtf8(process->peek(process->bytesAvailable())).split('\n', Qt::SkipEmptyParts);
        const QString said = lines.isEmpty() ? QString() : ", " + lines.last().trimmed();
        m_ending->fail(QString("compression tool exit code %1%2").arg(exitCode).arg(said));
        return;
    }
    if (QFileInfo(m_written).size() <= 0 || QFileInfo(m_sourcePath).size() <= 0) {
        m_ending->fail("no output file " + m_written);
        return;
    }
    // A whole package takes the output's name. The rate is against the file the user gave, also when
    // a converted copy was compressed: the row shows it beside that file's size. A .docx or .pptx kept
    // in its format comes back no larger than it was given; a legacy file made into a package is
    // another format and stays as made.
    m_settler->settle("doc", m_sourcePath, m_written, m_outputPath, &ResultCheck::package);
}

void DocCompressCore::onSettled(const SmallerResult& result)
{
    if (result.failed()) {
        m_ending->fail(result.failure());
        return;
    }
    // The name may have been taken by another program meanwhile: the report names the file written.
    m_outputPath = result.path();
    m_ending->setOutput(m_outputPath);
    m_ending->succeed(float(result.rate()));
}

void DocCompressCore::compressPdf(QString inputPath, QString outputPath, const int& quality)
{
    m_pdfEngine.reset(new PDFCompressCore(inputPath, outputPath, quality, nullptr));
    connect(m_pdfEngine.get(), &PDFCompressCore::sig_sendProgress, this,
            [this](float progress, bool stat, QString filePath, float compRate) {
                forwardPdfProgress(progress, stat, filePath, compRate);
            });
    m_pdfEngine->start();
}

void DocCompressCore::forwardPdfProgress(float progress, bool stat, QString filePath, float compRate)
{
    emit sig_sendProgress(progress, stat, filePath, compRate);
}

void DocCompressCore::slot_readOutput()
{
    const QString text = QString::fromUtf8(m_tool->process()->readAllStandardOutput());
    QRegExp percent = kPercentPattern;
    QRegExp outcome = kOutcomePattern;
    float progress = 0.0f;
    bool stat = false;
    float compRate = 0.0f;
    if (percent.indexIn(text, 0) >= 0)
        progress = float(percent.cap(0).toInt() / 100.0);
    if (outcome.indexIn(text, 0) >= 0) {
        if (outcome.cap(0) == "success") {
            stat = true;
            const double inputSize = double(QFileInfo(m_sourcePath).size());
            if (inputSize > 0)
                compRate = float(double(QFileInfo(m_outputPath).size()) / inputSize);
            m_timer->stop();
        } else {
            progress = -1.0f;
        }
    }
    emit sig_sendProgress(progress, stat, m_outputPath, compRate);
}
