// The compression queue of the main window: the start button, the one-second dispatch tick, the
// five start steps that hand files to new engines, and the task slots they hold.
#include "MainWidget.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegExp>
#include <QTimer>

#include "DocCompressCore.h"
#include "HistoryWriter.h"
#include "ImageCompressCore.h"
#include "Kind.h"
#include "ListItemWidget.h"
#include "OutputPaths.h"
#include "PictureHeader.h"
#include "PlatformConstants.h"
#include "Tool.h"
#include "VideoCompressCore.h"
#include "VideoCompressParam.h"

namespace
{

QString today()
{
    return QDate::currentDate().toString("yyyy-MM-dd");
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).absoluteDir().absolutePath() + "/";
}

QString outputFolder(const QString& path, const KindSettings& settings)
{
    if (!settings.toSourceDir && !settings.outputDir.isEmpty())
        return settings.outputDir;
    return folderOf(path);
}

// pngquant's lower bound of quality, lowered to a smaller upper one: a range whose minimum lies
// above its maximum makes it fail.
const int kPngMinimumQuality = 10;

// What the pages open with in 宽高比 and 清晰度; an emptied field (read as 0) counts as these.
const int kOpeningScale = 100;
const int kOpeningQuality = 50;

int orOpening(int value, int opening)
{
    return value > 0 ? value : opening;
}

} // namespace

void MainWidget::slot_compressFile()
{
    if (!m_timer->isActive())
        beginRun();
    // A start during a run adds the shown kind's files to it.
    if (!m_runKinds.contains(m_kind))
        m_runKinds.append(m_kind);
    m_timer->start(1000);
    showStartButton();
}

void MainWidget::slot_pushQueue()
{
    for (int kind : qAsConst(m_runKinds)) {
        if (m_realTimeTaskNum <= 0)
            return;
        pushKind(kind);
    }
    if (m_realTimeTaskNum == kTaskSlots && !runHasWork())
        endRun();
}

void MainWidget::pushKind(int kind)
{
    if (kind == Kind::Image) {
        Tool::writeLog(QString("m_IFLIndex is %1; m_ImageFileList size is %2; m_realTimeTaskNum is %3")
                           .arg(m_queueIndex[Kind::Image])
                           .arg(m_queue[Kind::Image].size())
                           .arg(m_realTimeTaskNum));
    }
    while (m_queueIndex[kind] < m_queue[kind].size() && m_realTimeTaskNum > 0) {
        if (kind == Kind::PowerPoint)
            qDebug() << m_queueIndex[kind] << m_queue[kind].size();
        ListItemWidget* row = m_rows[kind].at(m_queueIndex[kind]);
        if (m_running.contains(row)) {
            // An option change rewound the queue past a row that still runs: a second engine would
            // write the same output. It runs again once it has ended.
            m_redo[kind].insert(row);
        } else {
            m_redo[kind].remove(row);
            --m_realTimeTaskNum;
            dispatch(kind, &m_queueIndex[kind]);
        }
        ++m_queueIndex[kind];
    }
    dispatchEndedRedos(kind);
}

bool MainWidget::runHasWork() const
{
    for (int kind : m_runKinds) {
        if (m_queueIndex[kind] < m_queue[kind].size() || !m_redo[kind].isEmpty())
            return true;
    }
    return false;
}

void MainWidget::endRun()
{
    m_timer->stop();
    m_runKinds.clear();
    showStartButton();
}

void MainWidget::showStartButton()
{
    // The shown page's button tells whether its kind runs; on the page of a kind outside the run
    // it starts that kind.
    const bool running = m_timer->isActive() && m_runKinds.contains(m_kind);
    ui.btnCompress->setText(running ? tr("压缩中...") : tr("开始压缩"));
}

void MainWidget::dispatchEndedRedos(int kind)
{
    for (int index = 0; index < m_rows[kind].size() && m_realTimeTaskNum > 0; ++index) {
        ListItemWidget* row = m_rows[kind].at(index);
        if (!m_redo[kind].contains(row) || m_running.contains(row))
            continue;
        m_redo[kind].remove(row);
        --m_realTimeTaskNum;
        int at = index;
        dispatch(kind, &at);
    }
}

void MainWidget::beginRun()
{
    // Two files of one run never write one output, and no output replaces a file that is queued.
    OutputPaths::reset();
    m_outputOf.clear();
    m_runKinds.clear();
    QStringList inputs;
    for (const QStringList& paths : m_queue)
        inputs += paths;
    OutputPaths::protect(inputs);
}

void MainWidget::dispatch(int kind, int* index)
{
    ListItemWidget* row = m_rows[kind].at(*index);
    // The row's earlier result of this run is replaced, not kept beside a numbered new one.
    if (m_outputOf.contains(row))
        OutputPaths::release(m_outputOf.take(row));
    // The row holds the slot just taken until it reports its end.
    m_running.insert(row, nullptr);
    row->setStarted();
    const QString path = m_queue[kind].at(*index);
    saveShownSettings();
    const KindSettings settings = m_settings[kind];
    switch (kind) {
    case Kind::Video:
        compressVideo(path, index, settings);
        break;
    case Kind::Image:
        compressImage(path, index, settings);
        break;
    case Kind::PowerPoint:
        compressPPT(path, index, settings);
        break;
    case Kind::Pdf:
        compressPDF(path, index, settings);
        break;
    default:
        compressWord(path, index, settings);
        break;
    }
}

void MainWidget::recordDispatch(int kind, int index, const QString& path, const QString& output)
{
    if (!output.isEmpty())
        m_outputOf.insert(m_rows[kind].at(index), output);
    // Written on the history's own thread: a long history would hold the window for every file.
    HistoryWriter::instance().append(kind, today(), path, output);
}

void MainWidget::noteWrittenFile(ListItemWidget* row)
{
    // A result finds its name taken when another program wrote there after the file was sent off: it
    // went to the next free number, which the history then names too.
    const QString sentOffAs = m_outputOf.value(row);
    const QString written = row->writtenFile();
    if (sentOffAs.isEmpty() || written.isEmpty() || written == sentOffAs)
        return;
    m_outputOf.insert(row, written);
    for (int kind = 0; kind < Kind::Count; ++kind) {
        const int index = m_rows[kind].indexOf(row);
        if (index >= 0) {
            HistoryWriter::instance().replaceOutput(kind, m_queue[kind].at(index), sentOffAs, written);
            return;
        }
    }
}

void MainWidget::slot_compressQueue()
{
    auto* row = qobject_cast<ListItemWidget*>(sender());
    // Only a row that holds a slot gives one back, and only once.
    if (row && !m_running.contains(row))
        return;
    if (row) {
        noteWrittenFile(row);
        if (QObject* engine = m_running.take(row))
            engine->deleteLater();
    }
    if (m_realTimeTaskNum >= kTaskSlots)
        return;
    ++m_realTimeTaskNum;
    qDebug() << m_realTimeTaskNum;
}

void MainWidget::failUnstarted(int kind, int index, const QString& reason)
{
    Tool::writeLog(QString("start compress fail %1: %2").arg(m_queue[kind].at(index), reason));
    m_rows[kind].at(index)->slot_setProgress(-1.0f, false, QString(), 0.0f);
}

void MainWidget::giveBackSlotsOf(int kind)
{
    for (ListItemWidget* row : qAsConst(m_rows[kind])) {
        const bool running = m_running.contains(row);
        forgetRow(kind, row);
        if (running && m_realTimeTaskNum < kTaskSlots)
            ++m_realTimeTaskNum;
    }
}

void MainWidget::forgetRow(int kind, ListItemWidget* row)
{
    if (QObject* engine = m_running.take(row))
        delete engine;
    m_redo[kind].remove(row);
    m_outputOf.remove(row);
}

void MainWidget::compressVideo(const QString& path, int* index, const KindSettings& settings)
{
    ListItemWidget* row = m_rows[Kind::Video].at(*index);
    auto* engine = new VideoCompressCore(PlatformConstants::ffmpegPath(), this);
    m_running.insert(row, engine);
    connect(engine, &VideoCompressCore::sig_sendProgress, row, &ListItemWidget::slot_setProgress);
    const bool toMp4 = !settings.keepFormat;
    VideoCompressParam param;
    param.width = row->sourceWidth();
    param.height = row->sourceHeight();
    param.scale = float(double(orOpening(settings.scale, kOpeningScale)) / 100);
    param.crf = settings.strength * 7 / 100 + 24;
    m_lastDir = folderOf(path);
    m_outputDir = outputFolder(path, settings);
    if (param.width <= 0 || param.height <= 0) {
        failUnstarted(Kind::Video, *index, "the video's size cannot be read");
        recordDispatch(Kind::Video, *index, path, QString());
        return;
    }
    const QString output = engine->compress(path, toMp4, m_outputDir, param);
    recordDispatch(Kind::Video, *index, path, output);
}

void MainWidget::compressImage(const QString& path, int* index, const KindSettings& settings)
{
    ListItemWidget* row = m_rows[Kind::Image].at(*index);
    auto* engine =
        new ImageCompressCore(PlatformConstants::pngquantPath(), PlatformConstants::convertProgram(), this);
    m_running.insert(row, engine);
    connect(engine, &ImageCompressCore::sig_sendProgress, row, &ListItemWidget::slot_setProgress);
    // The header's size only: decoding the picture on the window's thread to learn it would hold the
    // window, and a picture may declare a size far beyond the memory it takes on disk.
    QImageReader reader(path);
    const QSize size = PictureHeader::size(reader);
    // The engine takes the size the picture shows at: a photo that its orientation turns by a quarter
    // shows its stored sides swapped.
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    int width = turned ? size.height() : size.width();
    int height = turned ? size.width() : size.height();
    const float scale = float(orOpening(settings.scale, kOpeningScale)) / 100;
    // 清晰度 and the typed size are no kind's options: they are read as each picture starts.
    if (ui.rbSetWH->isChecked()) {
        width = ui.lineEditImageWidth->text().toInt();
        height = ui.lineEditImageHeight->text().toInt();
    }
    engine->setScaleSize(int(float(width) * scale), int(float(height) * scale));
    const int quality = qMin(orOpening(ui.lineEditQuality->text().toInt(), kOpeningQuality), 100);
    m_outputDir = outputFolder(path, settings);
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString output;
    if (!size.isValid()) {
        failUnstarted(Kind::Image, *index, "the image cannot be read");
    } else if (!settings.keepFormat) {
        output = engine->compressJpg(path, m_outputDir, quality);
    } else if (suffix == "jpg" || suffix == "bmp") {
        engine->setKeepFormat(true);
        output = engine->compressJpg(path, m_outputDir, quality);
    } else if (suffix == "png") {
        engine->setKeepFormat(true);
        output = engine->compressPng(path, m_outputDir, qMin(kPngMinimumQuality, quality), quality);
    } else if (suffix == "gif") {
        output = engine->compressGif(path, m_outputDir, quality);
    } else {
        failUnstarted(Kind::Image, *index, "no compression for the suffix " + suffix);
    }
    recordDispatch(Kind::Image, *index, path, output);
}

void MainWidget::compressPDF(const QString& path, int* index, const KindSettings& settings)
{
    ListItemWidget* row = m_rows[Kind::Pdf].at(*index);
    const QString compressionTool = PlatformConstants::compressionToolPath();
    const QString docTool = PlatformConstants::docToolPath(dotNetVersion() == 40);
    auto* engine = new DocCompressCore(compressionTool, docTool, this);
    m_running.insert(row, engine);
    connect(engine, &DocCompressCore::sig_sendProgress, row, &ListItemWidget::slot_setProgress);
    const QString output =
        OutputPaths::claim(outputFolder(path, settings) + "c_" + QFileInfo(path).fileName(), path);
    int quality = settings.mode == Smallest ? 10 : 90;
    // The document tool takes 1 to 100; the field lets three digits through, as the image quality's.
    if (!settings.pdfQuality.isEmpty())
        quality = qMin(settings.pdfQuality.toInt(), 100);
    engine->compressPdf(path, output, quality);
    recordDispatch(Kind::Pdf, *index, path, output);
}

void MainWidget::compressPPT(const QString& path, int* index, const KindSettings& settings)
{
    compressOffice(path, index, settings, Kind::PowerPoint, ".pptx");
}

void MainWidget::compressWord(const QString& path, int* index, const KindSettings& settings)
{
    compressOffice(path, index, settings, Kind::Word, ".docx");
}

void MainWidget::compressOffice(const QString& path, int* index, const KindSettings& settings, int kind,
                                const QString& extension)
{
    ListItemWidget* row = m_rows[kind].at(*index);
    const QString compressionTool = PlatformConstants::compressionToolPath();
    const QString docTool = PlatformConstants::docToolPath(dotNetVersion() == 40);
    auto* engine = new DocCompressCore(compressionTool, docTool, this);
    m_running.insert(row, engine);
    connect(engine, &DocCompressCore::sig_sendProgress, row, &ListItemWidget::slot_setProgress);
    const QString output = OutputPaths::claim(
        outputFolder(path, settings) + "c_" + QFileInfo(path).baseName() + extension, path);
    if (settings.mode == ClarityFirst || settings.mode == Smallest || settings.mode == Normal)
        engine->compress(path, output, CompressLevel(settings.mode));
    else
        failUnstarted(kind, *index, "no compression level chosen");
    recordDispatch(kind, *index, path, output);
}

int MainWidget::dotNetVersion()
{
    const QString folder = PlatformConstants::dotNetFolder();
    // No folder at all: QDir would list the working folder instead.
    if (folder.isEmpty())
        return 35;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        const QString entryPath = entry.filePath();
        QRegExp version("v4.0");
        const int at = version.indexIn(entryPath);
        const QString matched = at >= 0 ? version.cap(0) : QString();
        qDebug() << entryPath;
        qDebug() << matched;
        if (!matched.isEmpty())
            return 40;
    }
    return 35;
}
