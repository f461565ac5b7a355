#pragma once

#include <atomic>
#include <mutex>

#include <QObject>
#include <QString>

// Says that the log cannot be written (a full disk, a read-only data folder), once per run: the log
// is where every other failure is told, so without this nothing would be. The first report is written
// to standard error at once and handed to the window, which shows it in its message dialog; later
// reports say nothing more. Reports come from any thread (the log is written from the workers too):
// the window connects `logUnwritable` queued, and asks `failure` for a report made before it was there.
class LogNotice : public QObject
{
    Q_OBJECT
public:
    static LogNotice& instance();

    // The log at `logPath` cannot be written, for `reason`. Any thread.
    void report(const QString& logPath, const QString& reason);
    // Whether a report was made, and which (the first one).
    bool failure(QString* logPath, QString* reason) const;
    // True for the first caller only: the one that shows the report in the window.
    bool claimShowing();

signals:
    void logUnwritable(const QString& logPath, const QString& reason);

private:
    LogNotice() = default;

    mutable std::mutex m_mutex;
    bool m_reported = false;
    QString m_logPath;
    QString m_reason;
    std::atomic_bool m_shown{false};
};
