#include "SmallerResult.h"

#include <QFile>
#include <QFileInfo>

#include "PathKey.h"
#include "ResultPlacement.h"
#include "Tool.h"

namespace
{
QString formatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == "jpeg" ? QString("jpg") : suffix;
}
} // namespace

SmallerResult::SmallerResult()
    : SmallerResult(Outcome::Failed, 0.0)
{
}

SmallerResult::SmallerResult(Outcome outcome, double rate, const QString& path, const QString& failure)
    : m_outcome(outcome)
    , m_rate(rate)
    , m_path(path)
    , m_failure(failure)
{
}

SmallerResult SmallerResult::failedFor(const QString& reason)
{
    return SmallerResult(Outcome::Failed, 0.0, QString(), reason);
}

double SmallerResult::rateOf(qint64 outputSize, qint64 inputSize)
{
    return inputSize > 0 ? double(outputSize) / double(inputSize) : 0.0;
}

bool SmallerResult::sameFormat(const QString& inputPath, const QString& outputPath)
{
    return formatOf(inputPath) == formatOf(outputPath);
}

SmallerResult SmallerResult::settle(const QString& kind, const QString& inputPath, const QString& writtenPath,
                                    const QString& outputPath, const std::atomic_bool* stop)
{
    // One file given as both: placing anything there would lose the input.
    if (PathKey::same(inputPath, outputPath))
        return failedFor("the output would replace the input " + inputPath);
    const qint64 inputSize = QFileInfo(inputPath).size();
    const qint64 resultSize = QFileInfo(writtenPath).size();
    QString failure;
    if (!sameFormat(inputPath, outputPath) || resultSize < inputSize) {
        const QString placed = ResultPlacement::place(ResultPlacement::How::Move, writtenPath, inputPath,
                                                      outputPath, stop, &failure);
        if (placed.isEmpty())
            return failedFor(failure);
        return SmallerResult(Outcome::AsMade, rateOf(resultSize, inputSize), placed);
    }

    const QString placed = ResultPlacement::place(ResultPlacement::How::CopyInput, inputPath, inputPath,
                                                  outputPath, stop, &failure);
    if (placed.isEmpty())
        return failedFor(failure);
    QFile::remove(writtenPath); // a result that is not smaller is no result
    Tool::writeLog(QString("%1 compress %2: the result is not smaller, kept a copy").arg(kind, inputPath));
    return SmallerResult(Outcome::Copied, 1.0, placed);
}

SmallerResult SmallerResult::keep(const QString& kind, const QString& inputPath, const QString& outputPath,
                                  const QString& why, const std::atomic_bool* stop)
{
    if (PathKey::same(inputPath, outputPath))
        return failedFor("the output would replace the input " + inputPath);
    QString failure;
    const QString placed = ResultPlacement::place(ResultPlacement::How::CopyInput, inputPath, inputPath,
                                                  outputPath, stop, &failure);
    if (placed.isEmpty())
        return failedFor(failure);
    Tool::writeLog(QString("%1 compress %2: kept as it is, %3").arg(kind, inputPath, why));
    return SmallerResult(Outcome::Copied, 1.0, placed);
}
