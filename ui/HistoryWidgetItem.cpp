#include "HistoryWidgetItem.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QUrl>

#include "DpiScale.h"
#include "FormScaling.h"
#include "ui_HistoryWidgetItem.h"

namespace
{
// Widest file name shown whole, in plain pixels.
const int kNameWidth = 80;

QString shownName(const QString& path, const QFontMetrics& metrics)
{
    const QString name = QFileInfo(path).fileName();
    if (metrics.horizontalAdvance(name) <= kNameWidth)
        return name;
    return metrics.elidedText(name, Qt::ElideRight, kNameWidth);
}

void openIfPresent(const QString& path)
{
    if (QFile::exists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
} // namespace

HistoryWidgetItem::HistoryWidgetItem(QListWidget* list, const QString& date, const QString& inFile,
                                     const QString& outFile, QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::HistoryWidgetItem)
    , m_list(list)
    , m_inFile(inFile)
    , m_outFile(outFile)
{
    m_ui->setupUi(this);
    scaleFormPixels(this);
    m_ui->labelDate->setText(date);
    m_ui->btnInput->setToolTip(inFile);
    m_ui->btnOutput->setToolTip(outFile);
    setStyleSheet(readStyleSheet(":/ListWidgetItem.css"));
    // Measured in the font the sheet gives the buttons, the font the names are drawn in.
    m_ui->btnInput->ensurePolished();
    const QFontMetrics metrics(m_ui->btnInput->font());
    m_ui->btnInput->setText(shownName(inFile, metrics));
    m_ui->btnOutput->setText(shownName(outFile, metrics));
    connect(m_ui->btnInput, &QPushButton::clicked, this, &HistoryWidgetItem::slot_openInFile);
    connect(m_ui->btnOutput, &QPushButton::clicked, this, &HistoryWidgetItem::slot_openOutFile);
}

HistoryWidgetItem::~HistoryWidgetItem() = default;

QSize HistoryWidgetItem::formSize()
{
    // The bare form, without the style sheet or the names: a list sizes its items without a row.
    QWidget probe;
    Ui::HistoryWidgetItem form;
    form.setupUi(&probe);
    scaleFormPixels(&probe);
    return probe.size();
}

void HistoryWidgetItem::slot_openInFile()
{
    openIfPresent(m_inFile);
}

void HistoryWidgetItem::slot_openOutFile()
{
    openIfPresent(m_outFile);
}
