#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// How one compression job ends, the same for every engine. It lets through exactly one final report
// (a result or a failure, never both, never twice) and no report at all after the end, and it
// removes what the job leaves behind. The engine forwards sig_sendProgress as its own Progress report
// and routes every report of the job through here.
//
// A job ends once, by the first of succeed(), fail() and cancel() (cancel() also comes from the
// destructor of the engine and from RunningTools::endAll). At that end `stopping` is sent first, for
// the engine to stop its timers and tools; then the intermediate files and folders go, whatever the
// end. The tools write under names of the job's own, and only a whole, checked result is moved onto
// the output's name (SmallerResult), so the output is never touched here: after a failure or a cancel
// it holds what it held before the job. The input is never removed. Last comes the report:
// (progress, true, output, rate) for a result, and for a failure (-1.0, false, "", 0.0) with the log
// line "<kind> compress fail <input>: <reason>".
class JobEnding : public QObject
{
    Q_OBJECT
public:
    // `kind` names the job in its failure line: "video", "image", "doc" or "pdf".
    JobEnding(const QString& kind, QObject* parent);

    void setInput(const QString& path) { m_input = path; }
    void setOutput(const QString& path) { m_output = path; }
    const QString& input() const { return m_input; }
    const QString& output() const { return m_output; }
    // A file or folder of the job's own, removed at the end of the job.
    void addIntermediate(const QString& path);

    // (progress, false, filePath, 0.0), while the job runs.
    void progress(float progress, const QString& filePath);
    // End with the result at the output; false (and nothing sent) when the job has already ended.
    bool succeed(float compRate, float progress = 1.0f);
    // End with a failure; false (and nothing logged or sent) when the job has already ended.
    bool fail(const QString& reason);
    // End without a report; nothing at all once the job has ended.
    void cancel();

    bool isOver() const { return m_state != State::Running; }
    bool wasCancelled() const { return m_state == State::Cancelled; }

signals:
    void sig_sendProgress(float progress, bool stat, QString filePath, float compRate);
    // The job ends now: stop every timer and tool of it, before its files go. A tool of the GUI thread
    // is killed and waited for; a page-range tool on a worker is killed, and its task removes what it
    // wrote once the tool is gone.
    void stopping();

private:
    enum class State { Running, Succeeded, Failed, Cancelled };

    bool end(State state);
    void removeIntermediates();
    bool isInput(const QString& path) const;

    QString m_kind;
    QString m_input;
    QString m_output;
    QStringList m_intermediates;
    State m_state;
};
