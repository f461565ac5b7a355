#pragma once

#include <QString>
#include <QStringList>

#include "BaseTask.h"
#include "BlockingToolRun.h"

class ToolCommand;

// One page range of a PDF, run on a worker: the document tool cuts the range out of the input into
// a split file beside the part file, then compresses the split file into the part file; the split
// file goes once the part is written. A step that fails ends the range: signalRangeFailed names the
// range and the tool's own reason, and no part is made. What the tool left out of the range (a loop
// cut, levels beyond a bound) comes with signalLeftOut. Either comes before signalTaskFinished.
// cancel() (from any thread) kills the running tool at once; the task then removes its own files and
// returns without signalling.
class PDFCompressTask : public BaseTask
{
    Q_OBJECT
public:
    // What a tool run said besides its exit: why it failed, and what it left out of the PDF.
    struct StepReport {
        QString failure;
        QStringList leftOut;
    };

    explicit PDFCompressTask(QObject* parent = nullptr);

    void setTask(const QString& inputPath, const QString& partPath, int quality, int firstPage, int lastPage);
    void run() override;
    void cancel() override;
    void splitAndCompress(const QString& inputPath, const QString& partPath, int quality, int firstPage,
                          int lastPage);

    // The two commands of one range, as started and as logged.
    static ToolCommand splitCommand(const QString& inputPath, const QString& splitPath, int firstPage,
                                    int lastPage);
    static ToolCommand compressCommand(const QString& splitPath, const QString& partPath, int quality);
    // The split file of a part file: its base name + "s.pdf", in the same folder.
    static QString splitPathFor(const QString& partPath);
    // How long one tool run on a range of pageCount pages may take before it counts as hung.
    static int stepTimeoutMs(int pageCount);
    // Runs a command to its end on the calling thread through `run`; false (with one log line naming
    // fileName) when it could not start, crashed, exited non-zero or overran timeoutMs and was killed,
    // and false without a line when it was cancelled. A killed tool's unfinished file goes too. The
    // reason of a failure and what the tool left out go to *report, when given.
    static bool runBlocking(BlockingToolRun& run, const ToolCommand& command, const QString& fileName,
                            int timeoutMs, StepReport* report = nullptr);
    // The notes of the document tool's "left out: a; b" line in its output, if any.
    static QStringList leftOutIn(const QByteArray& toolOutput);

signals:
    void signalRangeFailed(QString reason);
    void signalLeftOut(QStringList what);

private:
    void removeOwnFiles(const QString& splitPath, const QString& partPath) const;

    QString m_inputPath;
    QString m_partPath;
    int m_quality;
    int m_firstPage;
    int m_lastPage;
    BlockingToolRun m_run;
};
