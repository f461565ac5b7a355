#include "PlayingTime.h"

#include <QFileInfo>
#include <QStringList>

#include "BlockingToolRun.h"
#include "PlatformConstants.h"
#include "Tool.h"

namespace
{
const qint64 kBaseTimeLimitMs = 60000;
const qint64 kBytesPerExtraMs = 10000; // a second for every 10 MB
const qint64 kLongestTimeLimitMs = 24 * 3600 * 1000;
} // namespace

ToolCommand PlayingTime::command(const QString& path)
{
    const QString program = PlatformConstants::ffmpegPath();
    // "file:" keeps a name that looks like another protocol of ffmpeg's ("pipe:", "concat:") a file.
    QStringList arguments{"-nostdin", "-v", "quiet", "-i", "file:" + path};
    arguments += {"-map", "0:V:0?", "-map", "0:a?", "-c", "copy", "-f", "null", "-", "-progress", "pipe:1"};
    const QString text = QString("%1 -nostdin -v quiet -i %2 -map 0:V:0? -map 0:a? -c copy -f null - "
                                 "-progress pipe:1")
                             .arg(Tool::quote(program), Tool::quote("file:" + path));
    return ToolCommand(program, arguments, text);
}

int PlayingTime::timeLimitFor(const QString& path)
{
    const qint64 size = qMax<qint64>(0, QFileInfo(path).size());
    return int(qMin(kLongestTimeLimitMs, kBaseTimeLimitMs + size / kBytesPerExtraMs));
}

PlayingTime PlayingTime::fromOutput(const QByteArray& output)
{
    // Blocks of "key=value" lines, each closed by its "progress=" line; the last is "progress=end".
    PlayingTime found;
    PlayingTime block;
    for (const QByteArray& raw : output.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("frame="))
            block.m_frames = qMax(0, line.mid(6).toInt());
        else if (line.startsWith("out_time_us="))
            block.m_milliseconds = qMax(0.0, line.mid(12).toDouble() / 1000); // "N/A" reads as 0
        else if (line == "progress=end")
            found = block;
        if (line.startsWith("progress="))
            block = PlayingTime();
    }
    return found;
}

PlayingTime PlayingTime::of(const QString& path, BlockingToolRun* run)
{
    BlockingToolRun own;
    BlockingToolRun& runner = run ? *run : own;
    const BlockingToolRun::Result result = runner.run(command(path), timeLimitFor(path));
    if (result.end != BlockingToolRun::End::Exited || result.exitCode != 0)
        return PlayingTime();
    return fromOutput(result.outputText);
}
