#pragma once

#include <atomic>

#include <QString>
#include <QtGlobal>

// The last step of every compression whose result keeps the input's format: such a result is worth
// keeping only when it is smaller than the file it was made from. One that is not is replaced by a
// copy of the input's own bytes, so the user never gets back more than was given. A result in another
// format (a PNG made into a JPG, an MKV into an MP4, a .doc into a .docx) is what was asked for and
// stays as made, whatever its size.
class SmallerResult
{
public:
    enum class Outcome {
        AsMade, // the result stays as the tool made it
        Copied, // the result was not smaller: the output now holds a copy of the input
        Failed  // the copy could not be made: nothing is left at the output path
    };

    // Settles the finished output at outputPath, made from inputPath by a compression of the given kind
    // ("image", "video", "doc", "pdf"). When both are of one format and the output is not smaller, the
    // output is replaced through FilePlacement::copy and one log line says so: "<kind> compress <input>: the
    // result is not smaller, kept a copy". A failed copy removes the output and logs nothing: the caller
    // reports the failure in its own words. A copy of a large file takes long: ResultSettler runs this
    // off the GUI thread, and `stop` (any thread) ends a copy under way as a failure.
    static SmallerResult settle(const QString& kind, const QString& inputPath, const QString& outputPath,
                                const std::atomic_bool* stop = nullptr);

    // Whether two paths name one format: the same suffix without regard to case, "jpg" and "jpeg"
    // counting as one.
    static bool sameFormat(const QString& inputPath, const QString& outputPath);

    Outcome outcome() const { return m_outcome; }
    bool failed() const { return m_outcome == Outcome::Failed; }
    bool copied() const { return m_outcome == Outcome::Copied; }
    // The rate to report: output size / input size for a result as made (0.0 for an empty input),
    // 1.0 for a copy, 0.0 after a failure.
    double rate() const { return m_rate; }

    SmallerResult();

private:
    SmallerResult(Outcome outcome, double rate);

    static double rateOf(qint64 outputSize, qint64 inputSize);

    Outcome m_outcome;
    double m_rate;
};
