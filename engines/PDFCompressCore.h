#pragma once

#include <memory>

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class JobEnding;
class ResultSettler;
class SmallerResult;
class PDFCompressTask;
class QProcess;
class ToolProcess;
template <typename T> class QFutureWatcher;

// Compresses one PDF: cuts it into page ranges that the worker pool compresses in parallel through
// the document tool, then merges the compressed parts into the output with one more tool run.
// Reports through sig_sendProgress: (finished/total * 0.9, false, "", 0) per range, then, once
// (JobEnding), (1.0, true, output, rate) or (-1.0, false, "", 0.0) with the log line
// "pdf compress fail <input>: <reason>" (an input that is not a plain file fails before it is
// opened). A result that would not be smaller than the input is a copy of the input, with rate 1.0;
// so is the result for a signed document (QPdfDocument::holdsSignature), which is never cut, with the
// log line "pdf compress <input>: kept as it is, rewriting would break its signature".
// The split and part files (named by the range's index), the merged file and the document tool's own
// temporary files live in a work folder of the engine's own, which goes when the job ends, whatever
// the end; the merged file takes the output's name only once it is whole (ResultCheck::pdf: complete,
// with every page). cancel(), the destructor and RunningTools::endAll end the job at once: running
// ranges and the merge are killed, waiting ranges never start, the work folder goes, and no further
// report follows. A failed or ended job leaves the output as it was.
//
// The input is opened and its pages counted off the window's thread (a large file takes a while);
// the count is that of the pages its page tree holds, whatever it claims (QPdfDocument), so the
// ranges planned from it are bounded by the file itself.
//
// A range that fails ends the job at once, with the range and the document tool's own reason as the
// failure's last words; the merge runs only once every part is there. What the document tool left out
// of the ranges or the merge (a loop cut, levels beyond a bound) is named once, before the final
// report of a result made from them: "pdf left out <input>: <what>; <what>".
class PDFCompressCore : public QObject
{
    Q_OBJECT
public:
    PDFCompressCore(const QString& inputPath, const QString& outputPath, int quality,
                    QObject* parent = nullptr);
    ~PDFCompressCore() override;

    void start();
    void split(int pageCount, int pagesPerTask);
    void merge();
    void cancel();

    // Pages per range for a document of pageCount pages: 5 below 100, then 5 more per hundred, at most 20.
    static int pagesPerTask(int pageCount);
    // Number of ranges of pagesPerTask pages that cover pageCount pages.
    static int taskCount(int pageCount, int pagesPerTask);
    // First and last page (from 1) of range index (from 0).
    static QPair<int, int> rangeOf(int index, int pagesPerTask, int pageCount);

    // The folder of this engine's split and part files (empty before start).
    QString workDir() const { return m_workDir; }
    QStringList partPaths() const { return m_partPaths; }

signals:
    void signalFailed();
    void signalProgress(float progress);
    void signalFinished();
    void sig_sendProgress(float progress, bool stat, QString filePath, float compRate);

public slots:
    void onReadyReadOutput(QProcess* process);
    void onFinished();
    void onSplitFinished();
    void onMergeFinished();

private:
    // What opening the input found.
    struct PageCount {
        bool opened = false;
        bool locked = false;
        bool holdsSignature = false;
        int pages = 0;
    };

    static PageCount countPages(const QString& path);
    void onCounted(const PageCount& count);
    void onRangeFailed(const QString& reason);
    void addLeftOut(const QStringList& what);
    void stopTools();
    void onSettled(const SmallerResult& result);

    QString m_inputPath;
    QString m_outputPath;
    QStringList m_partPaths;
    int m_quality;
    int m_taskCount;
    int m_finishedCount;
    int m_pageCount;
    QString m_workDir;
    ToolProcess* m_merge;
    JobEnding* m_ending;
    ResultSettler* m_settler;
    QString m_merged; // where the merge writes, in the work folder
    QList<std::weak_ptr<PDFCompressTask>> m_tasks;
    QFutureWatcher<PageCount>* m_counting;
    QStringList m_leftOut; // what the document tool left out, each once
};
