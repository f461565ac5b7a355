#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "CompressLevel.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

class DocConvert;
class JobEnding;
class PDFCompressCore;
class ResultSettler;
class SmallerResult;
class QTimer;

// The engine of the three document kinds. Word and PowerPoint files go through the compression
// tool (legacy ".doc"/".ppt" first converted by DocConvert), with a timed progress of 0.1 a second;
// PDF files go to a PDFCompressCore, which owns the job's end and whose reports are relayed
// unchanged. The final report of a Word or PowerPoint job (JobEnding) is (1.0, true, output, rate),
// the rate against the file given, or one (-1.0, false, "", 0.0) with the log line
// "doc compress fail <input>: <reason>" when the input is missing or not a plain file, the conversion
// or the tool fails, the tool overruns its time, or its result is not a whole package
// (ResultCheck::package). A .docx or .pptx result that is not smaller than its input is replaced by a
// copy of the input (SmallerResult) and reported with rate 1.0; a legacy file made into a package
// stays as made. Each Word or PowerPoint job keeps its intermediate files (the converted document,
// the tool's result before it takes the output's name, the tool's own temporary files) in a folder of
// its own inside the program's temporary folder, removed when the job ends; a failed or ended job
// leaves the output as it was.
// cancel(), the destructor and RunningTools::endAll end every tool of the job at once (the PDF
// engine's included), remove what it wrote and send no further report.
class DocCompressCore : public QObject
{
    Q_OBJECT
public:
    DocCompressCore(const QString& compressionToolPath, const QString& docToolPath,
                    QObject* parent = nullptr);
    ~DocCompressCore() override;

    void compress(QString inputPath, QString outputPath, const CompressLevel& level);
    void compressPdf(QString inputPath, QString outputPath, const int& quality);

    // Ends the job now: tools killed, intermediate files removed, the output as it was, no more reports.
    void cancel();

    // "%1 %2 %3 L" with the tool path and the two file paths quoted, L the level digit.
    static ToolCommand compressCommand(const QString& toolPath, const QString& inputPath,
                                       const QString& outputPath, const CompressLevel& level);

    // Where the legacy input of the current run is converted to; empty for other inputs.
    QString convertedPath() const { return m_convertedPath; }
    // The job's own folder of intermediate files while the job runs; empty before and after.
    QString jobFolder() const;

    // Longest wait for the compression tool.
    static const int kTimeLimitMs;

signals:
    void sig_sendProgress(float progress, bool stat, QString filePath, float compRate);

public slots:
    void slot_readOutput();

private:
    void startCompress(QString inputPath, QString outputPath, const CompressLevel& level);
    void onProgressTick();
    void onToolEnded(ToolProcess::End end, int exitCode);
    void forwardPdfProgress(float progress, bool stat, QString filePath, float compRate);
    bool makeJobFolder();
    void makeEnding();
    void onSettled(const SmallerResult& result);
    void stopTools();

    ToolProcess* m_tool;
    QString m_toolPath;
    QString m_docToolPath;
    QString m_inputPath;
    QString m_sourcePath; // the file given to compress, before any conversion
    QString m_outputPath;
    QString m_written; // where the compression tool writes, in the job's folder
    std::unique_ptr<PDFCompressCore> m_pdfEngine;
    QTimer* m_timer;
    float m_progress;
    JobEnding* m_ending; // a Word or PowerPoint job's; a PDF job ends in its PDF engine
    QString m_jobFolder;
    QString m_convertedPath;
    DocConvert* m_converter;
    ResultSettler* m_settler;
};
