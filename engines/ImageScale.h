#pragma once

#include <QObject>
#include <QString>

#include "ToolProcess.h"

// Number of scalers made so far in this run; each scaler numbers its resized file with it.
extern int g_imageScaleCount;

// Resizes one image to an exact width and height through convert or gifsicle, into the temporary
// folder, and announces the resized file, which then belongs to the receiver. A resize that fails
// (input missing, tool not started, crashed, timed out, ended with an error or wrote nothing) leaves
// no file and is announced with an empty path, so whoever waits for the signal always hears the end;
// failure() then says why, for the receiver's own log line. cancel() (and the destructor) end a
// running resize at once, remove what it wrote and announce nothing.
class ImageScale : public QObject
{
    Q_OBJECT
public:
    ImageScale(QString convertPath, QString gifsiclePath, QObject* parent);
    ~ImageScale() override;

    void scaleByConvert(const QString& inPath, const QString& tempDir, const int& width, const int& height);
    void scaleByGifsicle(const QString& inPath, const QString& tempDir, const int& width, const int& height);

    // convert reads its limits from the policy.xml in `folder` (MagickPolicy); unset, the system's.
    void setPolicyFolder(const QString& folder) { m_policyFolder = folder; }
    // Longest time a resize may run before it is stopped and reported as failed.
    void setTimeLimit(int msecs) { m_tool->setTimeLimit(msecs); }
    void cancel();
    // Why the resize failed ("input missing", "exit code 1", ...); empty unless it failed.
    QString failure() const { return m_failure; }

    static constexpr int kDefaultTimeLimitMs = 5 * 60 * 1000;

signals:
    void sig_scaleFinished(QString filePath);

private:
    bool prepare(const QString& inPath, const QString& tempDir);
    void onToolEnded(ToolProcess::End end, int exitCode);
    void fail(const QString& reason);

    QString m_convertPath;
    QString m_gifsiclePath;
    QString m_outPath;
    ToolProcess* m_tool;

    QString m_failure;
    QString m_policyFolder;
    int m_number;
    bool m_ended;
};
