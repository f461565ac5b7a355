#include "LogNotice.h"

#include <cstdio>

LogNotice& LogNotice::instance()
{
    // Never destroyed: a worker may still log while the program exits.
    static LogNotice* notice = new LogNotice;
    return *notice;
}

void LogNotice::report(const QString& logPath, const QString& reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_reported)
            return;
        m_reported = true;
        m_logPath = logPath;
        m_reason = reason;
    }
    std::fprintf(stderr, "Vornex: cannot write the log %s: %s\n", qPrintable(logPath), qPrintable(reason));
    std::fflush(stderr);
    emit logUnwritable(logPath, reason);
}

bool LogNotice::failure(QString* logPath, QString* reason) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_reported) {
        *logPath = m_logPath;
        *reason = m_reason;
    }
    return m_reported;
}

bool LogNotice::claimShowing()
{
    return !m_shown.exchange(true);
}
