#include "SmallerResult.h"

#include <QFile>
#include <QFileInfo>

#include "FilePlacement.h"
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

SmallerResult::SmallerResult(Outcome outcome, double rate)
    : m_outcome(outcome)
    , m_rate(rate)
{
}

double SmallerResult::rateOf(qint64 outputSize, qint64 inputSize)
{
    return inputSize > 0 ? double(outputSize) / double(inputSize) : 0.0;
}

bool SmallerResult::sameFormat(const QString& inputPath, const QString& outputPath)
{
    return formatOf(inputPath) == formatOf(outputPath);
}

SmallerResult SmallerResult::settle(const QString& kind, const QString& inputPath, const QString& outputPath,
                                    const std::atomic_bool* stop)
{
    const QFileInfo input(inputPath);
    const QFileInfo output(outputPath);
    const qint64 inputSize = input.size();
    const qint64 outputSize = output.size();
    // One file given as both: there is nothing to replace, and removing it would lose the input.
    const bool oneFile = input.absoluteFilePath() == output.absoluteFilePath();
    if (oneFile || !sameFormat(inputPath, outputPath) || outputSize < inputSize)
        return SmallerResult(Outcome::AsMade, rateOf(outputSize, inputSize));

    if (!FilePlacement::copy(inputPath, outputPath, stop)) {
        QFile::remove(outputPath); // a result that is not smaller is no result
        return SmallerResult(Outcome::Failed, 0.0);
    }
    Tool::writeLog(QString("%1 compress %2: the result is not smaller, kept a copy").arg(kind, inputPath));
    return SmallerResult(Outcome::Copied, 1.0);
}
