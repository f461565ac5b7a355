#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "ToolCommand.h"
#include "ToolProcess.h"

class QTemporaryDir;

// Converts a legacy ".doc"/".ppt" file into ".docx"/".pptx" by running the document tool with
// "-type=6". sig_Finished follows the end of the tool's process, whatever it left behind; the
// caller judges the converted file. When no process end can come (missing input, a tool that
// cannot start) or the tool overruns its time, sig_Failed comes instead, once. The tool keeps its
// work (LibreOffice's profile and output) in a folder of the converter's own inside the program's
// temporary folder, which goes when the conversion ends; the tool runs as one process group with
// LibreOffice, so a time-out, cancel() and the destructor end them together. After cancel() nothing
// is signalled and no partial converted file stays.
class DocConvert : public QObject
{
    Q_OBJECT
public:
    DocConvert(const QString& toolPath, QObject* parent = nullptr);
    ~DocConvert() override;

    void convert(QString inputPath, QString outputPath);
    void cancel();

    // "%1 -type=6 -input=%2 -output=%3" with the three paths quoted as they were given.
    static ToolCommand command(const QString& toolPath, const QString& inputPath, const QString& outputPath);

    // Longest wait for the document tool (default kTimeLimitMs).
    void setTimeLimit(int msecs);
    static const int kTimeLimitMs;

    // The tool's work folder while it runs; empty before and after.
    QString workFolder() const;

signals:
    void sig_Finished();
    void sig_Failed(QString reason);

private:
    void onToolEnded(ToolProcess::End end);

    QString m_toolPath;
    QString m_inputPath;
    QString m_outputPath;
    ToolProcess* m_tool;
    std::unique_ptr<QTemporaryDir> m_workFolder;
    int m_timeLimitMs;
};
