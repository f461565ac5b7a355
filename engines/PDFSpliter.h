#pragma once

#include <QString>

#include "BaseTask.h"
#include "BlockingToolRun.h"

// Cuts one page range out of a PDF into a file of its own through the document tool, on a worker.
class PDFSpliter : public BaseTask
{
    Q_OBJECT
public:
    explicit PDFSpliter(QObject* parent = nullptr);

    void setTask(const QString& inputPath, const QString& outputPath, int firstPage, int lastPage);
    void run() override;
    void cancel() override;
    void split(const QString& inputPath, const QString& outputPath, int firstPage, int lastPage);

signals:
    void signalFinished();

private:
    QString m_inputPath;
    QString m_outputPath;
    int m_firstPage;
    int m_lastPage;
    BlockingToolRun m_run;
};
