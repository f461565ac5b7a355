#pragma once

#include <QObject>
#include <QString>

// The process-wide holder of the PDF engine's two working paths: the document tool's variant and
// the folder for its page ranges, which is the program's own temporary folder (TempFolder): what a
// killed program leaves there goes at the next start, as everything else it left does. Made on first
// use; from the GUI thread and from worker threads.
class PathManager : public QObject
{
    Q_OBJECT
public:
    static PathManager* instance();

    ~PathManager() override;

    QString converterPath() const;
    // The program's temporary folder, without a trailing '/' (asked anew on each call: the folder is
    // made again after it was removed); empty when it cannot be made.
    QString tempDir() const;

    // True when the .NET Framework 4.5 or later is registered.
    static bool hasDotNet4();

private:
    PathManager();
    void init();

    QString m_converterPath;
};
