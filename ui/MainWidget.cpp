#include "MainWidget.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>

#include "DpiScale.h"
#include "FormScaling.h"
#include "HistoryWriter.h"
#include "JsonParsing.h"
#include "Kind.h"
#include "ListItemWidget.h"
#include "PlatformConstants.h"
#include "QCustomUI.h"
#include "QUser.h"
#include "TempFolder.h"
#include "Tool.h"

namespace
{

// The list page of each kind in stackedWidgetList, by kind index.
const int kListPage[Kind::Count] = {1, 2, 4, 3, 5};

const char* const kEmptyPicture[Kind::Count] = {
    "border-image:url(:/Images/VideoComp.png);", "border-image:url(:/Images/ImageComp.png);",
    "border-image:url(:/Images/组 6702.png);",   "border-image:url(:/Images/PDFComp.png);",
    "border-image:url(:/Images/组 6700.png);",
};

// Results are recorded beside the log, in the program's data folder: one that cannot be made or written
// fails every file, so it is said at once (and when the log cannot be written either, its notice says so).
void logUnwritableDataFolder()
{
    const QString folder = QFileInfo(Tool::logFilePath()).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        Tool::makeDir(folder);
        return;
    }
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    Tool::writeLog(QString("cannot write the data folder %1: %2").arg(folder, reason));
}

} // namespace

MainWidget::MainWidget(QWidget* parent)
    : QWidget(parent)
    , m_historyWidget(nullptr)
    , m_userHelp(this, nullptr)
{
    ui.setupUi(this);
    scaleFormPixels(this);
    QUser::Instance()->online();
    initConnections();
    initWidgets();
}

MainWidget::~MainWidget()
{
    // The entries of the files sent off reach the history before the window goes, unless another
    // program holds the history's lock for longer: the writer then keeps them a little longer still
    // and logs what it could not write.
    HistoryWriter::instance().flush(HistoryWriter::kEndWaitMs);
}

void MainWidget::initConnections()
{
    installLogNotice();
    setAcceptDrops(true);
    ui.frameUser->installEventFilter(this);
    ui.frameTitle->installEventFilter(this);
    JsonParsing::initHistory();
    m_timer = new QTimer(this);
    m_realTimeTaskNum = kTaskSlots;
    m_kind = Kind::Video;
    m_lastDir = QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation).value(0) + "/";
    m_outputDir = m_lastDir;
    m_userHelp.preLogin();
    if (!QDir(PlatformConstants::tempFolder()).exists())
        PlatformConstants::makeTempFolder();
    TempFolder::removeAbandoned();
    if (!QDir(g_AppDataPath).exists())
        Tool::makeDir(g_AppDataPath);
    logUnwritableDataFolder();

    connect(ui.btnReturn, &QPushButton::clicked, this, &MainWidget::slot_btnReturn);
    connect(ui.frameVideoComp, &PressFrame::sig_MousePressd, this, &MainWidget::slot_switchVideoComp);
    connect(ui.frameImageComp, &PressFrame::sig_MousePressd, this, &MainWidget::slot_switchImageComp);
    connect(ui.framePDFComp, &PressFrame::sig_MousePressd, this, &MainWidget::slot_switchPDFComp);
    connect(ui.frameWordComp, &PressFrame::sig_MousePressd, this, &MainWidget::slot_switchWordComp);
    connect(ui.framePPTComp, &PressFrame::sig_MousePressd, this, &MainWidget::slot_switchPPTComp);
    connect(ui.btnVideoCompress, &QPushButton::clicked, this, &MainWidget::slot_switchVideoComp);
    connect(ui.btnImageCompress, &QPushButton::clicked, this, &MainWidget::slot_switchImageComp);
    connect(ui.btnPDFCompress, &QPushButton::clicked, this, &MainWidget::slot_switchPDFComp);
    connect(ui.btnWordCompress, &QPushButton::clicked, this, &MainWidget::slot_switchWordComp);
    connect(ui.btnPPTCompress, &QPushButton::clicked, this, &MainWidget::slot_switchPPTComp);
    connect(ui.btnClear, &QPushButton::clicked, this, &MainWidget::slot_clearList);
    connect(ui.btnAddFile, &QPushButton::clicked, this, &MainWidget::slot_AddFile);
    connect(ui.btnAddFile2, &QPushButton::clicked, this, &MainWidget::slot_AddFile);
    connect(ui.btnCompress, &QPushButton::clicked, this, &MainWidget::slot_compressFile);
    connect(ui.btnAddFolder, &QPushButton::clicked, this, &MainWidget::slot_AddDir);
    connect(m_timer, &QTimer::timeout, this, &MainWidget::slot_pushQueue);
    connect(ui.btnHistory, &QPushButton::clicked, this, &MainWidget::slot_showHistory);
    connect(ui.btnChangeDir, &QPushButton::clicked, this, &MainWidget::slot_changeOutputDir);
    connect(ui.rbNewOutDir, &QRadioButton::clicked, this, [this] {
        ui.frameChangeDir->show();
        saveKindSettings(m_kind);
    });
    connect(ui.rbOutDir, &QRadioButton::clicked, this, [this] {
        ui.frameChangeDir->hide();
        saveKindSettings(m_kind);
    });
    connect(ui.btnMin, &QPushButton::clicked, this, &MainWidget::showMinimized);
    connect(ui.btnMax, &QPushButton::clicked, this, &MainWidget::slot_resizeWindow);
    connect(ui.btnClose, &QPushButton::clicked, this, &MainWidget::slot_closeProgram);
    connect(ui.btnLogin, &QPushButton::clicked, this, &MainWidget::slot_login);
    connect(&m_userHelp, &QUserHelp::signal_avatar, this, &MainWidget::slot_setAvatar);
    connect(&m_userHelp, &QUserHelp::signal_login, this, &MainWidget::slot_setUserName);
    connect(&m_userHelp, &QUserHelp::signal_logout, this, &MainWidget::slot_logout);
    connect(ui.btnCustomer, &QPushButton::clicked, this, &MainWidget::slot_customer);
    connect(ui.btnMenu, &QPushButton::clicked, this, [this] {
        const int x = mapToGlobal(ui.btnMenu->pos()).x() - (m_menu->width() - ui.btnMenu->width()) / 2;
        const int y = mapToGlobal(ui.stackedWidget->pos()).y();
        m_menu->exec(QPoint(x, y));
    });
    connectOptionActions();
}

void MainWidget::connectOptionActions()
{
    connect(ui.sliderCompVal, &QSlider::valueChanged, this, [this](int value) {
        ui.label_21->setText(QString::number(value) + "%");
        saveKindSettings(m_kind);
    });
    connect(ui.listWidgetVideo, &QListWidget::itemPressed, this, &MainWidget::slot_switchItem);
    connect(ui.listWidgetImage, &QListWidget::itemPressed, this, &MainWidget::slot_switchItem);
    connect(ui.rbSetWH, &QRadioButton::clicked, this, &MainWidget::slot_checkWH);
    connect(ui.rbMax, &QRadioButton::clicked, this, [this] {
        ui.lineEditQuality->setText("90");
        ui.lineEditQuality_2->setText("90");
        ui.sliderCompVal->setValue(1);
        saveKindSettings(m_kind);
    });
    connect(ui.rbMin, &QRadioButton::clicked, this, [this] {
        ui.lineEditQuality->setText("50");
        ui.lineEditQuality_2->setText("10");
        ui.sliderCompVal->setValue(100);
        saveKindSettings(m_kind);
    });
    for (QRadioButton* button : {ui.rbNormal, ui.rbOrigin, ui.rbFormat})
        connect(button, &QRadioButton::clicked, this, [this] { saveKindSettings(m_kind); });
    for (QLineEdit* edit : {ui.lineEditQuality_2, ui.lineEditScale})
        connect(edit, &QLineEdit::textEdited, this, [this] { saveKindSettings(m_kind); });
}

void MainWidget::initWidgets()
{
    ui.labelVersion->setText("2.0.0.4");
    ui.sliderCompVal->setRange(1, 100);
    ui.sliderCompVal->setPageStep(10);
    ui.sliderCompVal->setSingleStep(10);
    ui.sliderCompVal->setValue(100);
    // The slider's action has just saved the video record from widgets that are not set up yet.
    m_settings[Kind::Video].keepFormat = true;
    m_settings[Kind::Video].toSourceDir = true;
    m_settings[Kind::Video].scale = 100;
    hideOptionFrames();
    initMenu();
    m_userHelp.showRecommendWidget(ui.frameRecommend);
    ui.rbNormal->setFixedWidth(scalePixels(110));
    // The note's width comes from Qt's unscaled default size; its text grows with the factor.
    ui.textBrowser->setMinimumWidth(scalePixels(ui.textBrowser->sizeHint().width()));
    ui.stackedWidget->setCurrentIndex(0);
    ui.frameUser->hide();
    m_historyWidget.hide();
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint);
    initValidators();
    ui.lineEditScale->setText("100");
    ui.labelPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QCustomUI::setAboutImage(":/Images/AboutImage.png");
    installAccountNotices();
    setStyleSheet(readStyleSheet(":/mainWidget.css"));
}

void MainWidget::initValidators()
{
    const QRegExp threeDigits("[1-9]\\d{0,2}");
    const QRegExp fourDigits("[1-9]\\d{0,3}");
    ui.lineEditScale->setValidator(new QRegExpValidator(threeDigits, this));
    ui.lineEditImageWidth->setValidator(new QRegExpValidator(fourDigits, this));
    ui.lineEditImageHeight->setValidator(new QRegExpValidator(fourDigits, this));
    ui.lineEditQuality->setValidator(new QRegExpValidator(threeDigits, this));
    ui.lineEditQuality_2->setValidator(new QRegExpValidator(threeDigits, this));
}

void MainWidget::slot_btnReturn()
{
    ui.stackedWidget->setCurrentIndex(0);
}

void MainWidget::slot_switchVideoComp()
{
    showKind(Kind::Video);
}

void MainWidget::slot_switchImageComp()
{
    showKind(Kind::Image);
}

void MainWidget::slot_switchPPTComp()
{
    showKind(Kind::PowerPoint);
}

void MainWidget::slot_switchWordComp()
{
    showKind(Kind::Word);
}

void MainWidget::slot_switchPDFComp()
{
    showKind(Kind::Pdf);
}

void MainWidget::showKind(int kind)
{
    m_kind = kind;
    ui.stackedWidget->setCurrentIndex(1);
    hideOptionFrames();
    showListPage(kind);
    checkModeButton(m_kind);
    ui.labelEmpty_2->setStyleSheet(QString::fromUtf8(kEmptyPicture[kind]));
    showKindFrames(kind);
    if (kind == Kind::Image) {
        ui.rbSetWH->setChecked(false);
        ui.lineEditImageHeight->setEnabled(false);
        ui.lineEditImageWidth->setEnabled(false);
        ui.labelWidth->setEnabled(false);
        ui.labelHeight->setEnabled(false);
        ui.lineEditQuality->setText("50");
    }
    if (kind == Kind::PowerPoint || kind == Kind::Word)
        m_settings[kind].mode = 1;
    restoreSettings(m_settings[kind]);
    const bool hasRows = listOf(kind)->count() > 0;
    if (kind == Kind::Video && hasRows) {
        ui.labelWidth->setText(QString::number(m_videoWidth));
        ui.labelHeight->setText(QString::number(m_videoHeight));
    } else if (kind == Kind::Image && hasRows) {
        ui.labelWidth->setText(QString::number(m_imageWidth));
        ui.labelHeight->setText(QString::number(m_imageHeight));
    } else if (kind == Kind::Pdf && hasRows) {
        qDebug() << "show list header by pdf";
    }
    showStartButton();
    ui.frameMain->repaint();
}

void MainWidget::showListPage(int kind)
{
    if (listOf(kind)->count() > 0) {
        ui.stackedWidgetList->setCurrentIndex(kListPage[kind]);
        ui.frameListHeader->show();
    } else {
        ui.stackedWidgetList->setCurrentIndex(0);
    }
}

void MainWidget::showKindFrames(int kind)
{
    const bool documents = kind == Kind::PowerPoint || kind == Kind::Word;
    ui.horizontalFrame->setVisible(!documents);
    ui.horizontalFrame_4->setVisible(!documents);
    ui.frameNormalOpt->show();
    ui.rbNormal->setVisible(documents);
    ui.frameVIdeoRes->setVisible(kind == Kind::Video || kind == Kind::Image);
    ui.frameVideoOpt->setVisible(kind == Kind::Video);
    ui.frameImageRes->setVisible(kind == Kind::Image);
    ui.framePDFOpt->setVisible(kind == Kind::Pdf);
    if (kind == Kind::Video || kind == Kind::Image)
        ui.frameOutFormat->show();
    else if (kind == Kind::PowerPoint)
        ui.frameOutFormat->hide();
    if (kind == Kind::Video)
        ui.rbFormat->setText("MP4");
    else if (kind == Kind::Image)
        ui.rbFormat->setText("JPG");
}

void MainWidget::hideOptionFrames()
{
    for (QWidget* frame :
         {static_cast<QWidget*>(ui.frameListHeader), static_cast<QWidget*>(ui.frameChangeDir),
          static_cast<QWidget*>(ui.framePDFOpt), static_cast<QWidget*>(ui.frameImageRes),
          static_cast<QWidget*>(ui.frameNormalOpt), static_cast<QWidget*>(ui.frameOutFormat),
          static_cast<QWidget*>(ui.frameVideoOpt), static_cast<QWidget*>(ui.frameVIdeoRes)})
        frame->hide();
}

void MainWidget::checkModeButton(const int& kind)
{
    QPushButton* const buttons[Kind::Count] = {ui.btnVideoCompress, ui.btnImageCompress, ui.btnPPTCompress,
                                               ui.btnPDFCompress, ui.btnWordCompress};
    for (QPushButton* button : buttons)
        button->setChecked(false);
    if (kind >= 0 && kind < Kind::Count)
        buttons[kind]->setChecked(true);
}

void MainWidget::saveSettings(KindSettings& out)
{
    if (ui.rbNormal->isChecked())
        out.mode = 1;
    else if (ui.rbMin->isChecked())
        out.mode = 2;
    else if (ui.rbMax->isChecked())
        out.mode = 0;
    out.toSourceDir = ui.rbOutDir->isChecked();
    out.keepFormat = ui.rbOrigin->isChecked();
    out.scale = ui.lineEditScale->text().toInt();
    out.outputDir = ui.labelPath->text();
    out.strength = ui.sliderCompVal->value();
    out.pdfQuality = ui.lineEditQuality_2->text();
}

void MainWidget::restoreSettings(const KindSettings& in)
{
    if (in.mode == 1)
        ui.rbNormal->setChecked(true);
    else if (in.mode == 2)
        ui.rbMin->setChecked(true);
    else if (in.mode == 0)
        ui.rbMax->setChecked(true);
    if (in.toSourceDir) {
        ui.rbOutDir->setChecked(true);
    } else {
        ui.rbNewOutDir->setChecked(true);
        ui.frameChangeDir->show();
    }
    if (in.keepFormat)
        ui.rbOrigin->setChecked(true);
    else
        ui.rbFormat->setChecked(true);
    ui.lineEditScale->setText(QString::number(in.scale));
    ui.labelPath->setText(in.outputDir);
    ui.labelPath->setToolTip(in.outputDir);
    {
        // Showing a kind's strength is no option change.
        const QSignalBlocker quiet(ui.sliderCompVal);
        ui.sliderCompVal->setValue(in.strength);
    }
    ui.label_21->setText(QString::number(ui.sliderCompVal->value()) + "%");
    ui.lineEditQuality_2->setText(in.pdfQuality);
}

void MainWidget::saveKindSettings(const int& kind)
{
    m_queueIndex[kind] = 0;
    saveSettings(m_settings[kind]);
}

void MainWidget::saveShownSettings()
{
    // The shown page's widgets hold its kind's latest options, also those set without an option
    // action; before any kind's page was shown they hold no kind's options.
    if (ui.stackedWidget->currentIndex() == 1)
        saveSettings(m_settings[m_kind]);
}

void MainWidget::slot_checkWH(bool check)
{
    saveKindSettings(m_kind);
    ui.lineEditImageHeight->setEnabled(check);
    ui.lineEditImageWidth->setEnabled(check);
}

void MainWidget::slot_switchItem(QListWidgetItem* curItem)
{
    if (m_kind != Kind::Video && m_kind != Kind::Image)
        return;
    const int row = listOf(m_kind)->row(curItem);
    if (row < 0 || row >= m_rows[m_kind].size())
        return;
    const ListItemWidget* widget = m_rows[m_kind].at(row);
    ui.labelHeight->setText(QString::number(widget->sourceHeight()));
    ui.labelWidth->setText(QString::number(widget->sourceWidth()));
    if (m_kind == Kind::Video) {
        m_videoHeight = widget->sourceHeight();
        m_videoWidth = widget->sourceWidth();
    } else {
        m_imageHeight = widget->sourceHeight();
        m_imageWidth = widget->sourceWidth();
    }
}

void MainWidget::showKindPage(int mode)
{
    if (mode == VideoPage)
        slot_switchVideoComp();
    else if (mode == ImagePage)
        slot_switchImageComp();
    else if (mode == PdfPage)
        slot_switchPDFComp();
}

void MainWidget::switchPageBySuffix(const QString& suffix)
{
    const int kind = kindOfSuffix(suffix);
    if (kind < 0)
        return;
    showKind(kind);
    ui.stackedWidgetList->setCurrentIndex(kListPage[kind]);
}

int MainWidget::kindOfSuffix(const QString& suffix)
{
    const QString lower = suffix.toLower();
    if (QStringList{"mp4", "mkv", "avi", "wmv", "mov", "flv"}.contains(lower))
        return Kind::Video;
    if (QStringList{"jpg", "png", "gif", "bmp"}.contains(lower))
        return Kind::Image;
    if (QStringList{"ppt", "pptx"}.contains(lower))
        return Kind::PowerPoint;
    if (lower == "pdf")
        return Kind::Pdf;
    if (QStringList{"doc", "docx"}.contains(lower))
        return Kind::Word;
    return -1;
}

QListWidget* MainWidget::listOf(int kind) const
{
    QListWidget* const lists[Kind::Count] = {ui.listWidgetVideo, ui.listWidgetImage, ui.listWidgetPPT,
                                             ui.listWidgetPDF, ui.listWidgetDoc};
    return lists[kind];
}

QStringList MainWidget::queue(int kind) const
{
    return kind >= 0 && kind < Kind::Count ? m_queue[kind] : QStringList();
}

int MainWidget::queueIndex(int kind) const
{
    return kind >= 0 && kind < Kind::Count ? m_queueIndex[kind] : 0;
}

bool MainWidget::isQueueRunning() const
{
    return m_timer->isActive();
}
