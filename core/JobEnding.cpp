#include "JobEnding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "PathKey.h"
#include "RunningTools.h"
#include "Tool.h"

JobEnding::JobEnding(const QString& kind, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_state(State::Running)
{
    connect(RunningTools::instance(), &RunningTools::sig_endAll, this, &JobEnding::cancel);
}

void JobEnding::addIntermediate(const QString& path)
{
    if (!path.isEmpty() && !m_intermediates.contains(path))
        m_intermediates.append(path);
}

void JobEnding::progress(float progress, const QString& filePath)
{
    if (!isOver())
        emit sig_sendProgress(progress, false, filePath, 0.0f);
}

bool JobEnding::succeed(float compRate, float progress)
{
    if (!end(State::Succeeded))
        return false;
    emit sig_sendProgress(progress, true, m_output, compRate);
    return true;
}

bool JobEnding::fail(const QString& reason)
{
    if (!end(State::Failed))
        return false;
    Tool::writeLog(QString("%1 compress fail %2: %3").arg(m_kind, m_input, reason));
    // A failure has no output: the path stays empty, whatever the job was to write.
    emit sig_sendProgress(-1.0f, false, QString(), 0.0f);
    return true;
}

void JobEnding::cancel()
{
    end(State::Cancelled);
}

bool JobEnding::end(State state)
{
    if (isOver())
        return false;
    m_state = state;
    emit stopping();
    removeIntermediates();
    return true;
}

void JobEnding::removeIntermediates()
{
    for (const QString& path : qAsConst(m_intermediates)) {
        if (isInput(path))
            continue;
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink())
            QFile::remove(path);
    }
    m_intermediates.clear();
}

bool JobEnding::isInput(const QString& path) const
{
    return !m_input.isEmpty() && PathKey::same(path, m_input);
}
