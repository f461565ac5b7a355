// File intake of the main window: the add-file and add-folder dialogs, drag and drop, the
// command-line open, removing a row and clearing a list.
#include "MainWidget.h"

#include <memory>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "Kind.h"
#include "ListItemWidget.h"
#include "PictureHeader.h"
#include "QToolTipWidget.h"
#include "VideoCompressCore.h"

namespace
{

const char* const kAddFileFilter =
    "*.pdf *.jpg *.png *.bmp *.gif *.ppt *.pptx *.doc *.docx *.mkv *.mov *.mp4 *.wmv *.avi *.flv";

const char* const kDropSuffixes = "jpg png gif bmp mp4 avi mkv wmv mov flv pdf doc docx ppt pptx";

QString sizeText(qint64 bytes)
{
    return QString::number(double(bytes) / 1048576, 'f', 2) + "MB";
}

} // namespace

void MainWidget::refuse(const QString& headline, const QString& body)
{
    auto dialog = std::make_shared<QToolTipWidget>();
    dialog->setBtnOpera1(tr("确定"), true);
    dialog->setBtnOpera2(tr("取消"), true);
    dialog->setTipText1(headline);
    dialog->setTipText2(body, Qt::AlignLeft);
    dialog->execForeground();
}

bool MainWidget::refuseWhileRunning()
{
    if (!m_timer->isActive())
        return false;
    refuse(tr("现在不能添加文件"), tr("正在压缩中，请等待当前任务完成后再添加文件"));
    return true;
}

void MainWidget::showUnsupportedFormat()
{
    auto dialog = std::make_shared<QToolTipWidget>();
    dialog->setBtnOpera1(tr("取消"), true);
    dialog->setBtnOpera2(tr("确定"), true);
    dialog->setTipText1(tr("不支持该格式文件！"));
    dialog->setTipText2(tr("抱歉！不支持该格式文件！请添加支持的文件格式的文件。"), Qt::AlignLeft);
    dialog->execForeground();
}

void MainWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (refuseWhileRunning())
        return;
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWidget::dropEvent(QDropEvent* event)
{
    const QStringList supported = QString::fromLatin1(kDropSuffixes).split(' ');
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QString filePath = url.toLocalFile();
        const QFileInfo info(filePath);
        if (info.isFile()) {
            if (supported.contains(info.suffix().toLower())) {
                switchPageBySuffix(info.suffix());
                addFile(filePath);
                ui.frameListHeader->show();
            } else {
                showUnsupportedFormat();
            }
        } else if (info.isDir()) {
            addDir(filePath);
        }
    }
}

void MainWidget::openFile(const QString& path)
{
    switchPageBySuffix(QFileInfo(path).suffix());
    addFile(path);
    ui.frameListHeader->show();
}

void MainWidget::slot_AddFile()
{
    if (refuseWhileRunning())
        return;
    const QString patterns = QString::fromLatin1(kAddFileFilter);
    const QString filter = QString("Files(%1 %2)").arg(patterns, patterns.toUpper());
    const QString path = QFileDialog::getOpenFileName(nullptr, tr("添加文件"), m_lastDir, filter);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    m_lastDir = info.absoluteDir().absolutePath() + "/";
    switchPageBySuffix(info.suffix());
    addFile(path);
    ui.frameListHeader->show();
    ui.frameMain->repaint();
}

void MainWidget::slot_AddDir()
{
    if (refuseWhileRunning())
        return;
    m_lastDir =
        QFileDialog::getExistingDirectory(nullptr, tr("添加文件"), m_lastDir, QFileDialog::ShowDirsOnly);
    addDir(m_lastDir);
}

QStringList MainWidget::nameFilters(int kind)
{
    switch (kind) {
    case Kind::Video:
        return {"*.mkv", "*.mov", "*.mp4", "*.wmv", "*.avi", "*.MKV", "*.MOV", "*.MP4", "*.WMV", "*.AVI"};
    case Kind::Image:
        return {"*.jpg", "*.png", "*.gif", "*.bmp", "*.JPG", "*.PNG", "*.GIF", "*.BMP"};
    case Kind::PowerPoint:
        return {"*.ppt", "*.pptx", "*.PPT", "*.PPTX"};
    case Kind::Pdf:
        return {"*.pdf", "*.PDF"};
    default:
        return {"*.doc", "*.docx", "*.DOC", "*.DOCX"};
    }
}

QString MainWidget::representativeSuffix(int kind)
{
    const char* const suffixes[Kind::Count] = {"mkv", "jpg", "ppt", "pdf", "doc"};
    return QString::fromLatin1(suffixes[kind]);
}

void MainWidget::addDir(const QString& path)
{
    const QStringList filters = nameFilters(m_kind);
    switchPageBySuffix(representativeSuffix(m_kind));
    if (path.isEmpty())
        return;
    const QFileInfoList entries = QDir(path).entryInfoList(filters, QDir::Files, QDir::NoSort);
    if (!entries.isEmpty()) {
        ui.frameListHeader->show();
        ui.frameListHeader->repaint();
    }
    for (const QFileInfo& entry : entries)
        addFile(entry.filePath());
}

bool MainWidget::notInQueue(const QString& path)
{
    return !m_queue[m_kind].contains(path, Qt::CaseSensitive);
}

void MainWidget::appendToQueue(const QString& path, const QString& suffix)
{
    m_queue[kindOfSuffix(suffix.toLower())].append(path);
}

void MainWidget::addRowToKind(QListWidgetItem* item, ListItemWidget* row, const QString& suffix)
{
    const int kind = kindOfSuffix(suffix.toLower());
    m_items[kind].append(item);
    m_rows[kind].append(row);
}

void MainWidget::addFile(const QString& given)
{
    // A relative path (from the command line) would mean another file once the working folder changes,
    // and could read as a tool's own syntax ("concat:x.mp4").
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    // A suffix of another kind (a name typed into the dialog, a command-line path) would leave a row
    // in this list whose queue entry sits in another kind's queue. Only plain files are taken: a pipe
    // or a device would hold whatever reads it.
    if (kindOfSuffix(suffix) != m_kind || !info.isFile()) {
        showUnsupportedFormat();
        return;
    }
    if (!notInQueue(path))
        return;
    const QString number = QString::number(++m_rowCounter[m_kind]);
    appendToQueue(path, suffix);
    auto* item = new QListWidgetItem();
    auto* row = new ListItemWidget(item, number, path, suffix, sizeText(info.size()), this);
    connect(row, &ListItemWidget::sig_remove, this, &MainWidget::slot_removeListItem);
    connect(row, &ListItemWidget::sig_compressFinsh, this, &MainWidget::slot_compressQueue);
    addRowToKind(item, row, suffix);
    item->setSizeHint(row->size());
    listOf(m_kind)->addItem(item);
    listOf(m_kind)->setItemWidget(item, row);
    showRowSize(row, m_kind, path, suffix);
}

void MainWidget::showRowSize(ListItemWidget* row, int kind, const QString& path, const QString& suffix)
{
    QSize size;
    if (kind == Kind::Video) {
        VideoCompressCore probe(this);
        const VideoInfo info = probe.videoInfo(path);
        size = QSize(info.width, info.height);
    } else if (kind == Kind::Image && QStringList{"jpg", "png", "gif", "bmp"}.contains(suffix.toLower())) {
        size = PictureHeader::size(path);
    } else {
        return;
    }
    row->setSourceWidth(size.width());
    row->setSourceHeight(size.height());
    ui.labelWidth->setText(QString::number(size.width()));
    ui.labelHeight->setText(QString::number(size.height()));
}

void MainWidget::renumberRows(QVector<ListItemWidget*> rows)
{
    for (int i = 0; i < rows.size(); ++i)
        rows[i]->setNumber(i + 1);
}

void MainWidget::slot_removeListItem(QListWidgetItem* item)
{
    if (m_timer->isActive()) {
        refuse(tr("移除失败"), tr("压缩任务正在运行，现在不能移除列表项"));
        return;
    }
    QListWidget* list = listOf(m_kind);
    const int row = list->row(item);
    if (row < 0 || row >= m_rows[m_kind].size())
        return;
    forgetRow(m_kind, m_rows[m_kind].at(row));
    delete list->takeItem(row);
    m_rows[m_kind].removeAt(row);
    m_items[m_kind].removeAt(row);
    m_queue[m_kind].removeAt(row);
    renumberRows(m_rows[m_kind]);
    // Only a row the queue has passed moves the index: removing a waiting one leaves the next file
    // to dispatch where it is.
    if (row < m_queueIndex[m_kind])
        --m_queueIndex[m_kind];
}

void MainWidget::slot_clearList()
{
    giveBackSlotsOf(m_kind);
    listOf(m_kind)->clear();
    m_rows[m_kind].clear();
    m_items[m_kind].clear();
    m_queue[m_kind].clear();
    m_rowCounter[m_kind] = 0;
    m_queueIndex[m_kind] = 0;
}
