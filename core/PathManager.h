#pragma once

#include <memory>

#include <QObject>
#include <QString>

class QTemporaryDir;

// The process-wide holder of the PDF engine's two working paths: the document tool's variant and
// a private temporary folder (removed with everything in it at program exit). Made on first use;
// afterwards only read, from the GUI thread and from worker threads.
class PathManager : public QObject
{
    Q_OBJECT
public:
    static PathManager* instance();

    ~PathManager() override;

    QString converterPath() const;
    QString tempDir() const;

    // True when the .NET Framework 4.5 or later is registered.
    static bool hasDotNet4();

private:
    PathManager();
    void init();

    std::unique_ptr<QTemporaryDir> m_tempDir;
    QString m_converterPath;
    QString m_tempDirPath;
};
