#include "MainWidget.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "DpiScale.h"

namespace {
const char* const kKindNames[MainWidget::kKindCount] = {"视频压缩", "图片压缩", "PPT压缩", "PDF压缩", "Word压缩"};
}

MainWidget::MainWidget(QWidget* parent)
    : QWidget(parent)
    , m_pageLabel(new QLabel(this))
    , m_fileList(new QListWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pageLabel);
    layout->addWidget(m_fileList);
    resize(scalePixels(1000), scalePixels(680));
    refreshView();
}

void MainWidget::showKindPage(int mode)
{
    switch (mode) {
    case 1:
        setCurrentKind(0);
        break;
    case 2:
        setCurrentKind(1);
        break;
    case 3:
        setCurrentKind(3);
        break;
    default:
        break;
    }
}

void MainWidget::openFile(const QString& path)
{
    switchPageBySuffix(QFileInfo(path).suffix());
    addFile(path);
}

int MainWidget::kindOfSuffix(const QString& suffix)
{
    const QString lower = suffix.toLower();
    if (QStringList{"mp4", "mkv", "avi", "wmv", "mov", "flv"}.contains(lower))
        return 0;
    if (QStringList{"jpg", "png", "gif", "bmp"}.contains(lower))
        return 1;
    if (QStringList{"ppt", "pptx"}.contains(lower))
        return 2;
    if (lower == "pdf")
        return 3;
    if (QStringList{"doc", "docx"}.contains(lower))
        return 4;
    return -1;
}

void MainWidget::switchPageBySuffix(const QString& suffix)
{
    const int kind = kindOfSuffix(suffix);
    if (kind >= 0)
        setCurrentKind(kind);
}

void MainWidget::addFile(const QString& path)
{
    if (m_currentKind == kHomePage || m_queues[m_currentKind].contains(path))
        return;
    m_queues[m_currentKind].append(path);
    refreshView();
}

QStringList MainWidget::queue(int kind) const
{
    if (kind < 0 || kind >= kKindCount)
        return QStringList();
    return m_queues[kind];
}

void MainWidget::setCurrentKind(int kind)
{
    m_currentKind = kind;
    refreshView();
}

void MainWidget::refreshView()
{
    m_fileList->clear();
    if (m_currentKind == kHomePage) {
        m_pageLabel->setText(tr("Vornex"));
        return;
    }
    m_pageLabel->setText(QString::fromUtf8(kKindNames[m_currentKind]));
    m_fileList->addItems(m_queues[m_currentKind]);
}
