#pragma once

#include <functional>

#include <QObject>
#include <QPair>
#include <QSize>
#include <QString>

#include "GifTiming.h"
#include "ToolProcess.h"

class ImageScale;
class JobEnding;
class ResultSettler;
class SmallerResult;
class QTimer;
class ToolCommand;

// Number of image engines made so far in this run; each engine numbers pngquant's temporary result
// with the value its own construction gave.
extern int g_imageEngineCount;
// gifsicle, by its bare name: found in the application folder first, then on PATH.
extern const QString g_gifsiclePath;

// Compresses one PNG, JPG, BMP or GIF file through pngquant, convert or gifsicle, first resizing it
// when a size is set, in a folder of the job's own in the program's temporary folder (TempFolder). While the
// tool runs a one-second timer steps a notional progress; the end is one report (JobEnding): (1.0, true,
// output, output size / input size) when the tool wrote a whole result (ResultCheck: every frame of a GIF, a
// JPG or PNG at its size), (-1.0, false, "", 0.0) with the log line "image compress fail <input>:
// <reason>" when it did not, or when the input is missing or not a plain file. A result that keeps
// the input's format and is not smaller than the input is replaced by a copy of the input
// (SmallerResult) and reported with rate 1.0; a picture made into a JPG stays as made. The output
// path comes from OutputPaths. Every tool writes into the temporary folder under the engine's own
// numbered names, and convert reads a link of such a name, so no file name is ever read as the tool's
// own syntax; only a whole result takes the output's name, so a failed or ended job leaves the output
// as it was. convert runs with the job's own ImageMagick limits (MagickPolicy), so a picture with a
// side over 16,000 pixels is taken too, and lays what was transparent on white, as a JPEG holds no
// transparency. Whatever the end, the job's intermediate files (scaled copy, link, the tools'
// results, the limits) are removed. An animated PNG kept as PNG comes back as a copy of the input, as
// pngquant and convert keep its first frame only. cancel(), the destructor and RunningTools::endAll end a
// running job at once the same way and send no further report.
class ImageCompressCore : public QObject
{
    Q_OBJECT
public:
    ImageCompressCore(QString pngquantPath, QString convertPath, QObject* parent);
    ~ImageCompressCore() override;

    // The size the result shows at, as a viewer turns it by its EXIF orientation.
    void setScaleSize(int width, int height);
    void setKeepFormat(const bool& keep);

    QString compressPng(const QString& inPath, const QString& outDir, const int& minQuality,
                        const int& maxQuality);
    QString compressJpg(const QString& inPath, const QString& outDir, const int& quality);
    QString compressGif(const QString& inPath, const QString& outDir, const int& quality);

    // Longest time one tool run (and one resize) may take before it is stopped and reported as failed.
    void setTimeLimit(int msecs) { m_timeLimitMs = msecs; }

    // Ends the job now: tools killed, intermediate files removed, the output as it was, no more reports.
    void cancel();

signals:
    void sig_sendProgress(float progress, bool stat, QString filePath, float compRate);
    void sig_scaleFinished();

private:
    void runPngquant(const QString& inPath, const QString& outPath, const int& minQuality,
                     const int& maxQuality);
    void runConvert(QString inPath, const QString& outPath, const int& quality);
    void runGifsicle(const QString& inPath, const QString& outPath, const int& quality);
    void onProgressTick();
    void onToolEnded(ToolProcess::End end, int exitCode);

    bool inputPresent(const QString& inPath);
    bool tempFolderReady();
    QString numberedTempPath(const QString& suffix) const;
    QString convertInput(const QString& inPath);
    bool policyReady();
    void onSettled(const SmallerResult& result);
    void keepAnimation();
    void scaleThen(bool byGifsicle, const std::function<void(const QString&)>& run);
    void start(const ToolCommand& command, const QString& writes);
    void failLater(const QString& reason);
    void stopTools();

    QString m_pngquantPath;
    QString m_convertPath;
    ToolProcess* m_tool;
    QString m_inPath;
    QString m_outPath;
    QTimer* m_timer;
    float m_progress;
    bool m_scaleFirst;
    bool m_keepFormat;
    QPair<int, int> m_scaleSize;

    int m_timeLimitMs;
    int m_number;
    GifTiming m_inputTiming; // how long the input's frames show, as a whole GIF result's do
    JobEnding* m_ending;
    ImageScale* m_scale;      // the running resize, if any
    ResultSettler* m_settler; // the last step: never larger than the input
    QString m_toolOutput;     // the file the running tool writes, in the temporary folder
    QSize m_resultSize;       // the size of a whole result
    int m_inputFrames = 1;    // the frames of the input, which a whole GIF or PNG result keeps
    QString m_jobFolder;      // every file of the job, with its trailing '/'; goes with the job
    QString m_policyFolder;   // convert's own limits and scratch space (MagickPolicy), in the job's folder
};
