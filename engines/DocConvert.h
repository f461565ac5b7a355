#pragma once

#include <QObject>
#include <QString>

#include "ToolCommand.h"
#include "ToolProcess.h"

// Converts a legacy ".doc"/".ppt" file into ".docx"/".pptx" by running the document tool with
// "-type=6". sig_Finished follows the end of the tool's process, whatever it left behind; the
// caller judges the converted file. When no process end can come (missing input, a tool that
// cannot start) or the tool overruns its time, sig_Failed comes instead, once.
class DocConvert : public QObject
{
    Q_OBJECT
public:
    DocConvert(const QString& toolPath, QObject* parent = nullptr);

    void convert(QString inputPath, QString outputPath);

    // "%1 -type=6 -input=%2 -output=%3" with the three paths quoted as they were given.
    static ToolCommand command(const QString& toolPath, const QString& inputPath, const QString& outputPath);

    // Longest wait for the document tool.
    static const int kTimeLimitMs;

signals:
    void sig_Finished();
    void sig_Failed(QString reason);

private:
    void onToolEnded(ToolProcess::End end);

    QString m_toolPath;
    QString m_inputPath;
    QString m_outputPath;
    ToolProcess* m_tool;
};
