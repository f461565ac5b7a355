#include "ResultPlacement.h"

#include <QFileInfo>

#include "FileLock.h"
#include "FilePlacement.h"
#include "OutputPaths.h"
#include "PlacedResults.h"
#include "TempFolder.h"
#include "Tool.h"

namespace
{
bool somethingAt(const QString& path)
{
    const QFileInfo there(path);
    return there.exists() || there.isSymLink();
}

bool replace(ResultPlacement::How how, const QString& from, const QString& to, const std::atomic_bool* stop)
{
    return how == ResultPlacement::How::Move ? FilePlacement::move(from, to, stop)
                                             : FilePlacement::copy(from, to, stop);
}

// Notes the passing name beside `to` for as long as a copy may be written there, so that the next
// start removes what a killed program left of it (TempFolder::removeAbandoned).
class PassingNote
{
public:
    explicit PassingNote(const QString& to)
        : m_passing(FilePlacement::passingName(to))
    {
        if (!TempFolder::notePassing(m_passing))
            Tool::writeLog("cannot note the passing name " + m_passing + " in " + TempFolder::path());
    }
    ~PassingNote() { TempFolder::dropPassing(m_passing); }
    PassingNote(const PassingNote&) = delete;
    PassingNote& operator=(const PassingNote&) = delete;

private:
    QString m_passing;
};

FilePlacement::NewName placeNew(ResultPlacement::How how, const QString& from, const QString& to,
                                const std::atomic_bool* stop)
{
    return how == ResultPlacement::How::Move ? FilePlacement::moveToNew(from, to, stop)
                                             : FilePlacement::copyToNew(from, to, stop);
}
} // namespace

QString ResultPlacement::place(How how, const QString& from, const QString& input, const QString& output,
                               const std::atomic_bool* stop, QString* failure)
{
    // The digest of what takes the name, read before the lock is taken: a large result would hold it long.
    const QByteArray digest = PlacedResults::digestOf(from);
    const auto lock = PlacedResults::lock();
    if (!lock->isLocked()) {
        *failure = "cannot lock " + PlacedResults::filePath();
        return QString();
    }
    QString target = output;
    for (int tries = 0; tries < kMostNames; ++tries) {
        if (somethingAt(target) && !PlacedResults::holdsOwnUnchanged(target, input)) {
            target = OutputPaths::next(target, input);
            continue;
        }
        bool placed = false;
        const PassingNote note(target);
        if (somethingAt(target)) {
            placed = replace(how, from, target, stop);
        } else {
            const FilePlacement::NewName outcome = placeNew(how, from, target, stop);
            if (outcome == FilePlacement::NewName::Taken) {
                target = OutputPaths::next(target, input);
                continue;
            }
            placed = outcome == FilePlacement::NewName::Placed;
        }
        if (!placed) {
            *failure = how == How::Move ? QString("cannot move %1 to %2").arg(from, target)
                                        : "cannot copy the input to " + target;
            return QString();
        }
        if (!PlacedResults::record(target, input, digest))
            Tool::writeLog(
                QString("cannot record the result %1 in %2").arg(target, PlacedResults::filePath()));
        return target;
    }
    *failure = "no free name beside " + output;
    return QString();
}
