#include "OfficeRun.h"

#include <csignal>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QUrl>

#include "ToolProcess.h"

namespace
{
// LibreOffice leaves by itself within a second after it has said it cannot load a file.
const int kLeaveAfterErrorMs = 5000;
const int kPollMs = 100;
// Rounds of killing and looking again, for as long as anyone waits for a killed tool.
const int kKillRounds = ToolProcess::kKilledWaitMs / kPollMs;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int)
{
    g_stop = 1;
}

// The three signals by which a user or a supervisor asks a tool to stop.
const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Process ids of every process whose argument list holds `argument`. A finished process that is
// not yet waited for has an empty argument list and does not count.
QList<pid_t> processesWith(const QString& argument)
{
    const QByteArray wanted = QFile::encodeName(argument);
    QList<pid_t> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number || pid == ::getpid())
            continue;
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        if (cmdline.readAll().split('\0').contains(wanted))
            found.append(pid);
    }
    return found;
}
} // namespace

OfficeRun::OfficeRun(const QString& office, const QString& workFolder)
    : m_office(office)
    , m_profileArgument("-env:UserInstallation=" +
                        QUrl::fromLocalFile(workFolder + "/profile").toString(QUrl::FullyEncoded))
    , m_home(workFolder + "/home")
    , m_tempFolder(workFolder + "/tmp")
{
    QDir().mkpath(m_home);
    QDir().mkpath(m_tempFolder);
    // Caught while this run lives, so that LibreOffice is ended and the work folder removed first.
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &action, &m_previousActions[i]);
}

OfficeRun::~OfficeRun()
{
    killOffice();
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &m_previousActions[i], nullptr);
}

bool OfficeRun::stopRequested()
{
    return g_stop != 0;
}

OfficeRun::End OfficeRun::convert(const QString& input, const QString& filter, const QString& format,
                                  const QString& outDir, int timeoutMs)
{
    m_said.clear();
    m_errorString.clear();
    if (stopRequested())
        return End::Stopped;

    QProcess office;
    // LibreOffice writes into its home and its temporary folder; both are this run's own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", m_home);
    environment.insert("TMPDIR", m_tempFolder);
    office.setProcessEnvironment(environment);
    office.setProcessChannelMode(QProcess::MergedChannels);
    // The input is passed as an absolute path, so no file name can read as an option.
    office.start(m_office, {m_profileArgument, "--headless", "--invisible", "--nolockcheck", "--nologo",
                            "--norestore", "--infilter=" + filter, "--convert-to", format, "--outdir", outDir,
                            QFileInfo(input).absoluteFilePath()});

    End end = End::Ended;
    QElapsedTimer clock;
    clock.start();
    qint64 errorSaidAt = -1;
    while (office.state() != QProcess::NotRunning) {
        if (office.waitForFinished(kPollMs))
            break;
        m_said += office.readAll();
        if (errorSaidAt < 0 && m_said.contains("Error:"))
            errorSaidAt = clock.elapsed();
        if (stopRequested()) {
            end = End::Stopped;
            break;
        }
        if (clock.elapsed() > timeoutMs) {
            end = End::TimedOut;
            break;
        }
        if (errorSaidAt >= 0 && clock.elapsed() - errorSaidAt > kLeaveAfterErrorMs)
            break; // it has given up on the file but stays: nothing more will come
    }
    if (office.error() == QProcess::FailedToStart) {
        m_errorString = office.errorString();
        end = End::FailedToStart;
    }
    killOffice();
    office.waitForFinished(ToolProcess::kKilledWaitMs);
    m_said += office.readAll();
    return end;
}

void OfficeRun::killOffice() const
{
    // LibreOffice's launcher starts the office itself as a child of its own, which may outlive it;
    // both carry this run's profile argument.
    for (int round = 0; round < kKillRounds; ++round) {
        const QList<pid_t> left = processesWith(m_profileArgument);
        if (left.isEmpty())
            return;
        for (const pid_t pid : left)
            ::kill(pid, SIGKILL);
        QThread::msleep(kPollMs);
    }
}
