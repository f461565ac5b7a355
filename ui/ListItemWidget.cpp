#include "ListItemWidget.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QUrl>

#include "DpiScale.h"
#include "FormScaling.h"
#include "ui_ListItemWidget.h"

namespace
{
// Widest file name shown whole, in plain pixels: the column is narrow at every display factor.
const int kNameWidth = 100;
const double kBytesPerMB = 1048576.0;
} // namespace

ListItemWidget::ListItemWidget(QListWidgetItem* item, QString number, QString filePath, QString format,
                               QString sizeText, QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::ListItemWidget)
    , m_filePath(filePath)
    , m_item(item)
    , m_sourceWidth(0)
    , m_sourceHeight(0)
{
    m_ui->setupUi(this);
    scaleFormPixels(this);
    setStyleSheet(readStyleSheet(":/ListWidgetItem.css"));
    m_ui->sliderProgress->setValue(0);
    connect(m_ui->btnOpenFile, &QPushButton::clicked, this, &ListItemWidget::slot_openFile);
    connect(m_ui->btnRemove, &QPushButton::clicked, this, &ListItemWidget::slot_removeItem);
    m_ui->labelStat->hide();
    m_ui->labelNumber->setText(number);
    showFileName(filePath);
    m_ui->labelFormat->setText(format);
    m_ui->labelSize->setText(sizeText);
}

ListItemWidget::~ListItemWidget() = default;

void ListItemWidget::setNumber(const int& number)
{
    m_ui->labelNumber->setText(QString::number(number));
}

void ListItemWidget::setSourceWidth(int width)
{
    m_sourceWidth = width;
}

void ListItemWidget::setSourceHeight(int height)
{
    m_sourceHeight = height;
}

void ListItemWidget::setStarted()
{
    m_ui->labelStat->hide();
    m_ui->sliderProgress->setValue(0);
    m_ui->sliderProgress->show();
    m_lastRunWrote = false;
    clearResult();
}

void ListItemWidget::slot_setProgress(float progress, bool progressStat, QString outFilePath, float compRate)
{
    setProgress(progress);
    if (progressStat) {
        m_outFilePath = outFilePath;
        m_lastRunWrote = true;
        setFinished();
        qDebug() << "send finish";
        emit sig_compressFinsh();
    }
    if (double(compRate) - 0.0 > 0.0001)
        showResult(m_outFilePath, compRate);
}

void ListItemWidget::slot_openFile()
{
    const QString path = m_outFilePath.isEmpty() ? m_filePath : m_outFilePath;
    // A moved or deleted file would only make the desktop report an error of its own.
    if (!QFile::exists(path))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void ListItemWidget::slot_removeItem()
{
    emit sig_remove(m_item);
}

void ListItemWidget::setProgress(const float& progress)
{
    QProgressBar* bar = m_ui->sliderProgress;
    if (bar->isHidden()) {
        bar->show();
        m_ui->labelStat->hide();
    }
    if (progress < 0) {
        m_ui->labelStat->show();
        m_ui->labelStat->setText(tr("压缩失败"));
        bar->hide();
        // Figures of an earlier run are not this failure's.
        clearResult();
        emit sig_compressFinsh();
    }
    // Only a value that truncates into the bar's range is converted: NaN, infinities and values
    // far outside would not fit an int, and the bar ignores anything outside its range anyway.
    const float value = float(bar->maximum()) * progress;
    if (value > float(bar->minimum() - 1) && value < float(bar->maximum() + 1))
        bar->setValue(int(value));
}

void ListItemWidget::setFinished()
{
    m_ui->labelStat->show();
    m_ui->labelStat->setText(tr("已完成"));
    m_ui->sliderProgress->hide();
}

void ListItemWidget::showResult(const QString& outFilePath, const float& compRate)
{
    m_ui->labelCompRate->setText(QString::number(compRate * 100, 'f', 2) + "%");
    const qint64 bytes = QFileInfo(outFilePath).size();
    m_ui->labelCompSize->setText(QString::number(double(bytes) / kBytesPerMB, 'f', 2) + "MB");
}

void ListItemWidget::clearResult()
{
    m_ui->labelCompRate->clear();
    m_ui->labelCompSize->clear();
}

void ListItemWidget::showFileName(const QString& filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    // Measured in the font the row's sheet gives the label, the font the name is drawn in.
    m_ui->labelFileName->ensurePolished();
    const QFontMetrics metrics(m_ui->labelFileName->font());
    if (metrics.horizontalAdvance(name) > kNameWidth) {
        m_ui->labelFileName->setText(metrics.elidedText(name, Qt::ElideRight, kNameWidth));
        m_ui->labelFileName->setToolTip(name);
    } else {
        m_ui->labelFileName->setText(name);
    }
}
