#pragma once

#include <atomic>

#include <QString>
#include <QtGlobal>

// The last step of every compression: the tool's result, written under a name of the job's own, takes
// the output's name. A result that keeps the input's format is worth keeping only when it is smaller
// than the file it was made from; one that is not is replaced by a copy of the input's own bytes, so
// the user never gets back more than was given. A result in another format (a PNG made into a JPG, an
// MKV into an MP4, a .doc into a .docx) is what was asked for and stays as made, whatever its size.
// Either way the output's name holds what it held before or the whole new file (FilePlacement), and
// only this program's own earlier result of the same input is ever replaced: anything else there stays
// and the result takes the next free number (ResultPlacement). path() says where it went.
class SmallerResult
{
public:
    enum class Outcome {
        AsMade, // the tool's result is at the output
        Copied, // the result was not smaller: the output now holds a copy of the input
        Failed  // nothing was placed: the output holds what it held before
    };

    // Places the finished result `writtenPath`, made from inputPath by a compression of the given kind
    // ("image", "video", "doc", "pdf"), at outputPath. When input and output are of one format and the
    // result is not smaller, the input is copied there instead (FilePlacement::copy) and one log line
    // says so: "<kind> compress <input>: the result is not smaller, kept a copy". A failure logs
    // nothing: failure() says why, for the caller's own line. A copy of a large file takes long:
    // ResultSettler runs this off the GUI thread, and `stop` (any thread) ends a copy under way as a
    // failure.
    static SmallerResult settle(const QString& kind, const QString& inputPath, const QString& writtenPath,
                                const QString& outputPath, const std::atomic_bool* stop = nullptr);
    // Places a copy of the input's own bytes at outputPath (or the next free name, as settle() does)
    // without any result of a tool: for an input that a rewrite would spoil. One log line says why:
    // "<kind> compress <input>: kept as it is, <why>". The rate is 1.0, as for a copy.
    static SmallerResult keep(const QString& kind, const QString& inputPath, const QString& outputPath,
                              const QString& why, const std::atomic_bool* stop = nullptr);
    // Where the result was placed: the output's path or a numbered one beside it; empty after a failure.
    const QString& path() const { return m_path; }
    // A result that was never placed, for `reason`.
    static SmallerResult failedFor(const QString& reason);

    // Whether two paths name one format: the same suffix without regard to case, "jpg" and "jpeg"
    // counting as one.
    static bool sameFormat(const QString& inputPath, const QString& outputPath);

    Outcome outcome() const { return m_outcome; }
    bool failed() const { return m_outcome == Outcome::Failed; }
    bool copied() const { return m_outcome == Outcome::Copied; }
    // The rate to report: output size / input size for a result as made (0.0 for an empty input),
    // 1.0 for a copy, 0.0 after a failure.
    double rate() const { return m_rate; }
    // Why nothing was placed; empty unless failed.
    const QString& failure() const { return m_failure; }

    SmallerResult();

private:
    SmallerResult(Outcome outcome, double rate, const QString& path = QString(),
                  const QString& failure = QString());

    static double rateOf(qint64 outputSize, qint64 inputSize);

    Outcome m_outcome;
    double m_rate;
    QString m_path;
    QString m_failure;
};
