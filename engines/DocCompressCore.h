#pragma once

#include <memory>

#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include "CompressLevel.h"
#include "ToolCommand.h"
#include "ToolProcess.h"

class PDFCompressCore;
class QTimer;

// The engine of the three document kinds. Word and PowerPoint files go through the compression
// tool (legacy ".doc"/".ppt" first converted into the temporary folder by DocConvert), with a
// timed progress of 0.1 a second; PDF files go to a PDFCompressCore whose reports are relayed
// unchanged. The final report is (1.0, true, output, rate), or one (-1.0, false, "", 0.0) when the
// input is missing, the conversion or the tool fails, or the tool overruns its time.
class DocCompressCore : public QObject
{
    Q_OBJECT
public:
    DocCompressCore(const QString& compressionToolPath, const QString& docToolPath,
                    QObject* parent = nullptr);
    ~DocCompressCore() override;

    void compress(QString inputPath, QString outputPath, const CompressLevel& level);
    void compressPdf(QString inputPath, QString outputPath, const int& quality);

    // "%1 %2 %3 L" with the tool path and the two file paths quoted, L the level digit.
    static ToolCommand compressCommand(const QString& toolPath, const QString& inputPath,
                                       const QString& outputPath, const CompressLevel& level);

    // Where the legacy input of the current run is converted to; empty for other inputs.
    QString convertedPath() const { return m_convertedPath; }

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
    void fail(const QString& logLine);

    ToolProcess* m_tool;
    QString m_toolPath;
    QString m_docToolPath;
    QString m_inputPath;
    QString m_outputPath;
    std::unique_ptr<PDFCompressCore> m_pdfEngine;
    QTimer* m_timer;
    float m_progress;
    bool m_pdfMode;
    bool m_reported;
    std::unique_ptr<QTemporaryDir> m_convertFolder;
    QString m_convertedPath;
};
