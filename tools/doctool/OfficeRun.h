#pragma once

#include <signal.h>

#include <QByteArray>
#include <QString>

// One headless LibreOffice conversion, watched rather than only timed: LibreOffice runs with a
// profile, home and temporary folder of this run's own (all inside `workFolder`), its words are
// read as they come, and when it has said it cannot load the file it is given a few seconds to
// leave. Whatever way a conversion ends (done, failed, timed out, or this tool asked to stop by
// SIGTERM, SIGINT or SIGHUP, which are caught while the run lives), every process that carries this
// run's profile is killed before convert() returns, so no LibreOffice outlives it.
class OfficeRun
{
public:
    enum class End { Ended, TimedOut, Stopped, FailedToStart };

    OfficeRun(const QString& office, const QString& workFolder);
    ~OfficeRun();
    OfficeRun(const OfficeRun&) = delete;
    OfficeRun& operator=(const OfficeRun&) = delete;

    // Converts `input` to `format` ("docx", "pptx") in `outDir`, reading it with the import filter
    // `filter` (never guessing, which would take any file for plain text).
    End convert(const QString& input, const QString& filter, const QString& format, const QString& outDir,
                int timeoutMs);
    // What LibreOffice said (standard output and error) in the last conversion.
    QByteArray said() const { return m_said; }
    QString errorString() const { return m_errorString; }

    // True once a stop signal has arrived while a conversion ran (or since).
    static bool stopRequested();

private:
    void killOffice() const;

    static constexpr int kStopSignalCount = 3;
    struct sigaction m_previousActions[kStopSignalCount];

    QString m_office;
    QString m_profileArgument; // "-env:UserInstallation=<url>", unique to this run
    QString m_home;
    QString m_tempFolder;
    QByteArray m_said;
    QString m_errorString;
};
