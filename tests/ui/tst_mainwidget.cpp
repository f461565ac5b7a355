#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QtTest>

#include "DpiScale.h"
#include "FontFallbacks.h"
#include "Kind.h"
#include "LogNotice.h"
#include "MainWidget.h"
#include "ModalAnswerer.h"
#include "PlatformConstants.h"
#include "PressFrame.h"
#include "QMorProduct.h"
#include "QUser.h"
#include "TempFolder.h"
#include "TestEnv.h"
#include "TestFolder.h"
#include "Tool.h"
#include "WindowsLookStyle.h"

namespace
{

template <typename T> T* child(QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

void writeImage(const QString& path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QVERIFY(image.save(path));
}

// Restores the display factor when a test has changed it.
struct FactorGuard {
    explicit FactorGuard(float factor) { dpiScale = factor; }
    ~FactorGuard() { dpiScale = 1.0f; }
};

} // namespace

class TestMainWidget : public QObject
{
    Q_OBJECT

public slots:
    void ignoreUrl(const QUrl& url) { Q_UNUSED(url); }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formSizes_data();
    void formSizes();
    void formTree();
    void startsOnTheHomePage();
    void pageFrames_data();
    void pageFrames();
    void tilesAndModeButtonsSwitchPages();
    void emptyAndFilledListPages();
    void optionsAreKeptPerKind();
    void documentPagesAlwaysOpenWithNormal();
    void strengthActions();
    void validators();
    void optionChangeRewindsTheQueue_data();
    void optionChangeRewindsTheQueue();
    void rowPressShowsTheSourceSize();
    void droppedEndingInAnyCaseIsTaken();
    void menuEntriesSayWhatTheyCannotDo();
    void maximiseAndRestore();
    void titleStripDrag();
    void outputFolder();
    void closeCancelledKeepsRunning();
    void closeConfirmedCleansUp();
    void closeFromTheWindowSystemAsksToo();
    void unwritableLogIsSaidOnce();

private:
    std::unique_ptr<TestFolder> m_dir;
};

void TestMainWidget::initTestCase()
{
    installFontFallbacks();
    WindowsLookStyle::install();
    QDesktopServices::setUrlHandler("file", this, "ignoreUrl");
    // Start-up registers the product, which the about notice names.
    QUser::Instance()->setProduct(QMorProduct(11, "vornix_win", "Vornex", "2.0.0.4"));
}

void TestMainWidget::init()
{
    m_dir = std::make_unique<TestFolder>();
    QVERIFY(m_dir->isValid());
}

void TestMainWidget::cleanup()
{
    m_dir.reset();
}

void TestMainWidget::formSizes_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<QSize>("windowSize");
    QTest::addColumn<int>("minWidth");
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<QSize>("frame4");
    QTest::addColumn<int>("titleHeight");
    QTest::addColumn<QSize>("compress");
    QTest::addColumn<QRect>("tipPPT");
    QTest::addColumn<QRect>("emptyPicture");
    QTest::newRow("1.0") << 1.0f << QSize(1044, 786) << 1036 << 1137 << QSize(1024, 624) << 50
                         << QSize(180, 48) << QRect(-1, 220, 301, 20) << QRect(60, 0, 120, 120);
    QTest::newRow("1.25") << 1.25f << QSize(1305, 983) << 1295 << 1421 << QSize(1280, 780) << 63
                          << QSize(225, 60) << QRect(-1, 275, 376, 25) << QRect(75, 0, 150, 150);
    QTest::newRow("2.0") << 2.0f << QSize(2088, 1572) << 2072 << 2274 << QSize(2048, 1248) << 100
                         << QSize(360, 96) << QRect(-1, 440, 602, 40) << QRect(120, 0, 240, 240);
}

void TestMainWidget::formSizes()
{
    QFETCH(float, factor);
    FactorGuard guard(factor);
    MainWidget window;
    QFETCH(QSize, windowSize);
    QCOMPARE(window.size(), windowSize);
    QFETCH(int, minWidth);
    QFETCH(int, maxWidth);
    QCOMPARE(window.minimumWidth(), minWidth);
    QCOMPARE(window.maximumWidth(), maxWidth);
    QCOMPARE(window.maximumHeight(), QWIDGETSIZE_MAX);
    QFETCH(QSize, frame4);
    QCOMPARE(child<QFrame>(window, "frame_4")->minimumSize(), frame4);
    QCOMPARE(child<QFrame>(window, "frame_4")->maximumSize(), frame4);
    QFETCH(int, titleHeight);
    QCOMPARE(child<QFrame>(window, "frameTitle")->minimumHeight(), titleHeight);
    QCOMPARE(child<QFrame>(window, "frameTitle")->maximumHeight(), titleHeight);
    QFETCH(QSize, compress);
    QCOMPARE(child<QPushButton>(window, "btnCompress")->minimumSize(), compress);
    QCOMPARE(child<QPushButton>(window, "btnCompress")->maximumSize(), compress);
    QFETCH(QRect, tipPPT);
    QCOMPARE(child<QLabel>(window, "label_6")->geometry(), tipPPT);
    QCOMPARE(child<QLabel>(window, "label_5")->geometry().x(), 0);
    QFETCH(QRect, emptyPicture);
    QCOMPARE(child<QLabel>(window, "labelEmpty_2")->geometry(), emptyPicture);
    // Layout spacings and margins stay as written at every factor.
    QCOMPARE(window.findChild<QLayout*>("horizontalLayout_21")->spacing(), 26);
    QCOMPARE(window.findChild<QLayout*>("verticalLayout_4")->contentsMargins(), QMargins(28, 0, 28, 0));
    QCOMPARE(window.findChild<QLayout*>("horizontalLayout_30")->contentsMargins(), QMargins(8, 8, 8, 8));
    QCOMPARE(child<QRadioButton>(window, "rbNormal")->width(), scalePixels(110));
}

void TestMainWidget::formTree()
{
    MainWidget window;
    const struct {
        const char* name;
        const char* className;
        const char* parent;
    } tree[] = {
        {"frameMain", "QFrame", "MainWidget"},
        {"frameTitle", "QFrame", "frameMain"},
        {"labelIco", "QLabel", "frameTitle"},
        {"frameUser", "QFrame", "frameTitle"},
        {"labelNickname", "QLabel", "frameUser"},
        {"btnClose", "QPushButton", "frameTitle"},
        {"stackedWidget", "QStackedWidget", "frameMain"},
        {"frameVideoComp", "PressFrame", "frame_4"},
        {"labelToVideo", "QLabel", "frameVideoComp"},
        {"labelTip", "QLabel", "frameVideoComp"},
        {"label_2", "QLabel", "frame"},
        {"framePPTComp", "PressFrame", "frame_4"},
        {"frameRecommend", "QFrame", "frameBottom"},
        {"btnPPTCompress", "QPushButton", "framePDF_Title"},
        {"labelHeader6", "QLabel", "frameListHeader"},
        {"btnAddFile2", "QPushButton", "frame_16"},
        {"listWidgetDoc", "QListWidget", "pageDoc"},
        {"rbNewOutDir", "QRadioButton", "frameOutPath"},
        {"sliderCompVal", "QSlider", "frameVideoOpt"},
        {"lineEditQuality_2", "QLineEdit", "framePDFOpt"},
        {"textBrowser", "QTextBrowser", "framePDFOpt"},
        {"labelPath", "QLabel", "frameChangeDir"},
        {"btnCompress", "QPushButton", "frame_7"},
    };
    for (const auto& entry : tree) {
        QWidget* widget = window.findChild<QWidget*>(entry.name);
        QVERIFY2(widget, entry.name);
        QCOMPARE(widget->metaObject()->className(), entry.className);
        QCOMPARE(widget->parentWidget()->objectName(), QString(entry.parent));
    }
    auto* pages = child<QStackedWidget>(window, "stackedWidget");
    QStringList pageNames;
    for (int i = 0; i < pages->count(); ++i)
        pageNames << pages->widget(i)->objectName();
    QCOMPARE(pageNames, QStringList({"pageHome", "pageToPDF", "pageToFile", "pageOther"}));
    auto* listPages = child<QStackedWidget>(window, "stackedWidgetList");
    QStringList listNames;
    for (int i = 0; i < listPages->count(); ++i)
        listNames << listPages->widget(i)->objectName();
    QCOMPARE(listNames,
             QStringList({"pageEmpty", "pageVideo", "pageImage", "pagePDF", "pagePPT", "pageDoc"}));

    QCOMPARE(child<QLabel>(window, "labelVersion")->text(), QString("2.0.0.4"));
    QCOMPARE(child<QPushButton>(window, "btnCompress")->text(), QString("开始压缩"));
    QCOMPARE(child<QPushButton>(window, "btnMax")->toolTip(), QString("最大化"));
    QCOMPARE(child<QLabel>(window, "label_2")->text(), QString("支持MP4、WMA、AVI、FLV、MOV、MKV等格式"));
    QCOMPARE(child<QLabel>(window, "label_21")->text(), QString("100%"));
    QCOMPARE(child<QLineEdit>(window, "lineEditScale")->text(), QString("100"));
    QVERIFY(
        child<QTextBrowser>(window, "textBrowser")->toPlainText().startsWith("直接压缩方法可设置压缩质量"));
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(window.acceptDrops());
    QVERIFY(child<QPushButton>(window, "btnPPTCompress")->isCheckable());
    QCOMPARE(child<QPushButton>(window, "btnMin")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QLabel>(window, "labelTitle")->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    // The window made its history file and its folders.
    QVERIFY(QFile::exists("history.json"));
    QVERIFY(QDir(PlatformConstants::tempFolder()).exists());
}

void TestMainWidget::startsOnTheHomePage()
{
    MainWidget window;
    window.show();
    QCOMPARE(child<QStackedWidget>(window, "stackedWidget")->currentIndex(), 0);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidgetList")->currentIndex(), 0);
    QVERIFY(!child<QFrame>(window, "frameUser")->isVisible());
    QVERIFY(child<QPushButton>(window, "btnLogin")->isVisible());
    for (const char* frame : {"frameListHeader", "frameChangeDir", "framePDFOpt", "frameImageRes",
                              "frameNormalOpt", "frameOutFormat", "frameVideoOpt", "frameVIdeoRes"})
        QVERIFY2(child<QFrame>(window, frame)->isHidden(), frame);
    QCOMPARE(window.currentKind(), int(Kind::Video));
    QCOMPARE(window.freeTaskSlots(), 4);
    QVERIFY(!window.isQueueRunning());
}

void TestMainWidget::pageFrames_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("formatText");
    QTest::addColumn<QString>("picture");
    const QStringList all = {"horizontalFrame", "horizontalFrame_4", "frameVIdeoRes", "frameVideoOpt",
                             "frameOutFormat",  "frameNormalOpt",    "frameImageRes", "framePDFOpt",
                             "rbNormal",        "frameListHeader",   "frameChangeDir"};
    auto rest = [&all](const QStringList& shown) {
        QStringList hidden = all;
        for (const QString& name : shown)
            hidden.removeAll(name);
        return hidden;
    };
    const QStringList video = {"horizontalFrame", "horizontalFrame_4", "frameVIdeoRes",
                               "frameVideoOpt",   "frameOutFormat",    "frameNormalOpt"};
    const QStringList image = {"horizontalFrame", "horizontalFrame_4", "frameOutFormat",
                               "frameNormalOpt",  "frameImageRes",     "frameVIdeoRes"};
    const QStringList documents = {"frameNormalOpt", "rbNormal"};
    const QStringList pdf = {"horizontalFrame", "horizontalFrame_4", "frameNormalOpt", "framePDFOpt"};
    QTest::newRow("video") << int(Kind::Video) << video << rest(video) << "MP4"
                           << "border-image:url(:/Images/VideoComp.png);";
    QTest::newRow("image") << int(Kind::Image) << image << rest(image) << "JPG"
                           << "border-image:url(:/Images/ImageComp.png);";
    QTest::newRow("ppt") << int(Kind::PowerPoint) << documents << rest(documents) << "MP4"
                         << "border-image:url(:/Images/组 6702.png);";
    QTest::newRow("word") << int(Kind::Word) << documents << rest(documents) << "MP4"
                          << "border-image:url(:/Images/组 6700.png);";
    QTest::newRow("pdf") << int(Kind::Pdf) << pdf << rest(pdf) << "MP4"
                         << "border-image:url(:/Images/PDFComp.png);";
}

void TestMainWidget::pageFrames()
{
    QFETCH(int, kind);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    MainWidget window;
    window.show();
    const char* buttons[] = {"btnVideoCompress", "btnImageCompress", "btnPPTCompress", "btnPDFCompress",
                             "btnWordCompress"};
    QTest::mouseClick(child<QPushButton>(window, buttons[kind]), Qt::LeftButton);
    QCOMPARE(window.currentKind(), kind);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidget")->currentIndex(), 1);
    for (const QString& name : shown)
        QVERIFY2(!window.findChild<QWidget*>(name)->isHidden(), qPrintable(name));
    for (const QString& name : hidden)
        QVERIFY2(window.findChild<QWidget*>(name)->isHidden(), qPrintable(name));
    QTEST(child<QRadioButton>(window, "rbFormat")->text(), "formatText");
    QTEST(child<QLabel>(window, "labelEmpty_2")->styleSheet(), "picture");
    for (int other = 0; other < Kind::Count; ++other)
        QCOMPARE(child<QPushButton>(window, buttons[other])->isChecked(), other == kind);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidgetList")->currentIndex(), 0);
}

void TestMainWidget::tilesAndModeButtonsSwitchPages()
{
    MainWidget window;
    window.show();
    const struct {
        const char* tile;
        int kind;
    } tiles[] = {{"frameVideoComp", Kind::Video},
                 {"frameImageComp", Kind::Image},
                 {"framePDFComp", Kind::Pdf},
                 {"frameWordComp", Kind::Word},
                 {"framePPTComp", Kind::PowerPoint}};
    for (const auto& tile : tiles) {
        QTest::mouseClick(child<QPushButton>(window, "btnReturn"), Qt::LeftButton);
        QCOMPARE(child<QStackedWidget>(window, "stackedWidget")->currentIndex(), 0);
        QTest::mousePress(child<PressFrame>(window, tile.tile), Qt::LeftButton);
        QCOMPARE(window.currentKind(), tile.kind);
        QCOMPARE(child<QStackedWidget>(window, "stackedWidget")->currentIndex(), 1);
    }
    window.showKindPage(2);
    QCOMPARE(window.currentKind(), int(Kind::Image));
    window.showKindPage(3);
    QCOMPARE(window.currentKind(), int(Kind::Pdf));
    window.showKindPage(4);
    QCOMPARE(window.currentKind(), int(Kind::Pdf));
}

void TestMainWidget::emptyAndFilledListPages()
{
    MainWidget window;
    window.show();
    const QString picture = m_dir->filePath("a.png");
    writeImage(picture, 64, 48);
    window.openFile(picture);
    QCOMPARE(window.currentKind(), int(Kind::Image));
    QCOMPARE(child<QStackedWidget>(window, "stackedWidgetList")->currentIndex(), 2);
    QVERIFY(child<QFrame>(window, "frameListHeader")->isVisible());
    QCOMPARE(window.queue(Kind::Image), QStringList{picture});
    QTest::mouseClick(child<QPushButton>(window, "btnVideoCompress"), Qt::LeftButton);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidgetList")->currentIndex(), 0);
    QVERIFY(child<QFrame>(window, "frameListHeader")->isHidden());
    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidgetList")->currentIndex(), 2);
    QVERIFY(child<QFrame>(window, "frameListHeader")->isVisible());
    QCOMPARE(child<QLabel>(window, "labelWidth")->text(), QString("0"));
}

void TestMainWidget::optionsAreKeptPerKind()
{
    MainWidget window;
    window.show();
    QTest::mouseClick(child<QPushButton>(window, "btnVideoCompress"), Qt::LeftButton);
    auto* rbMin = child<QRadioButton>(window, "rbMin");
    auto* rbMax = child<QRadioButton>(window, "rbMax");
    QTest::mouseClick(rbMin, Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(window, "rbFormat"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(window, "rbNewOutDir"), Qt::LeftButton);
    QVERIFY(child<QFrame>(window, "frameChangeDir")->isVisible());
    auto* scale = child<QLineEdit>(window, "lineEditScale");
    scale->clear();
    QTest::keyClicks(scale, "50");

    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    QTest::mouseClick(rbMax, Qt::LeftButton);
    QVERIFY(child<QRadioButton>(window, "rbOrigin")->isChecked());
    QVERIFY(child<QRadioButton>(window, "rbOutDir")->isChecked());
    QVERIFY(child<QFrame>(window, "frameChangeDir")->isHidden());
    QCOMPARE(scale->text(), QString("100"));

    QTest::mouseClick(child<QPushButton>(window, "btnVideoCompress"), Qt::LeftButton);
    QVERIFY(rbMin->isChecked());
    QVERIFY(child<QRadioButton>(window, "rbFormat")->isChecked());
    QVERIFY(child<QRadioButton>(window, "rbNewOutDir")->isChecked());
    QVERIFY(child<QFrame>(window, "frameChangeDir")->isVisible());
    QCOMPARE(scale->text(), QString("50"));

    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    QVERIFY(rbMax->isChecked());
    QCOMPARE(child<QLineEdit>(window, "lineEditQuality")->text(), QString("50"));

    // An empty scale is saved as 0.
    QTest::mouseClick(child<QPushButton>(window, "btnPDFCompress"), Qt::LeftButton);
    scale->selectAll();
    QTest::keyClick(scale, Qt::Key_Backspace);
    QTest::mouseClick(child<QPushButton>(window, "btnWordCompress"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "btnPDFCompress"), Qt::LeftButton);
    QCOMPARE(scale->text(), QString("0"));
}

void TestMainWidget::documentPagesAlwaysOpenWithNormal()
{
    MainWidget window;
    window.show();
    for (const char* page : {"btnPPTCompress", "btnWordCompress"}) {
        QTest::mouseClick(child<QPushButton>(window, page), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(window, "rbNormal")->isChecked());
        QTest::mouseClick(child<QRadioButton>(window, "rbMin"), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(window, "rbMin")->isChecked());
        QTest::mouseClick(child<QPushButton>(window, "btnVideoCompress"), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(window, "rbNormal")->isHidden());
        QTest::mouseClick(child<QPushButton>(window, page), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(window, "rbNormal")->isChecked());
    }
}

void TestMainWidget::strengthActions()
{
    MainWidget window;
    window.show();
    QTest::mouseClick(child<QPushButton>(window, "btnVideoCompress"), Qt::LeftButton);
    auto* slider = child<QSlider>(window, "sliderCompVal");
    QCOMPARE(slider->minimum(), 1);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->pageStep(), 10);
    QTest::mouseClick(child<QRadioButton>(window, "rbMax"), Qt::LeftButton);
    QCOMPARE(slider->value(), 1);
    QCOMPARE(child<QLabel>(window, "label_21")->text(), QString("1%"));
    QCOMPARE(child<QLineEdit>(window, "lineEditQuality")->text(), QString("90"));
    QCOMPARE(child<QLineEdit>(window, "lineEditQuality_2")->text(), QString("90"));
    QTest::mouseClick(child<QRadioButton>(window, "rbMin"), Qt::LeftButton);
    QCOMPARE(slider->value(), 100);
    QCOMPARE(child<QLabel>(window, "label_21")->text(), QString("100%"));
    QCOMPARE(child<QLineEdit>(window, "lineEditQuality")->text(), QString("50"));
    QCOMPARE(child<QLineEdit>(window, "lineEditQuality_2")->text(), QString("10"));
    slider->setValue(57);
    QCOMPARE(child<QLabel>(window, "label_21")->text(), QString("57%"));

    // The custom size on the image page: a toggle that enables its two edits.
    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    auto* setWH = child<QRadioButton>(window, "rbSetWH");
    auto* width = child<QLineEdit>(window, "lineEditImageWidth");
    QVERIFY(!width->isEnabled());
    QTest::mouseClick(setWH, Qt::LeftButton);
    QVERIFY(setWH->isChecked());
    QVERIFY(width->isEnabled());
    QTest::mouseClick(setWH, Qt::LeftButton);
    QVERIFY(!setWH->isChecked());
    QVERIFY(!width->isEnabled());
    QTest::mouseClick(setWH, Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "btnPDFCompress"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    QVERIFY(!setWH->isChecked());
    QVERIFY(!width->isEnabled());
}

void TestMainWidget::validators()
{
    MainWidget window;
    window.show();
    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    const struct {
        const char* edit;
        const char* typed;
        const char* result;
    } cases[] = {
        {"lineEditScale", "0", ""},         {"lineEditScale", "07", "7"},
        {"lineEditScale", "1500", "150"},   {"lineEditImageWidth", "12345", "1234"},
        {"lineEditImageHeight", "0", ""},   {"lineEditQuality", "999", "999"},
        {"lineEditQuality_2", "abc1", "1"},
    };
    QTest::mouseClick(child<QRadioButton>(window, "rbSetWH"), Qt::LeftButton);
    for (const auto& entry : cases) {
        auto* edit = child<QLineEdit>(window, entry.edit);
        edit->clear();
        QTest::keyClicks(edit, entry.typed);
        QVERIFY2(edit->text() == QString(entry.result), entry.edit);
    }
}

void TestMainWidget::optionChangeRewindsTheQueue_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("option");
    // The file of each kind cannot be read, so that its run ends as soon as it is dispatched.
    QTest::newRow("缩小优先") << "a.png"
                              << "rbMin";
    QTest::newRow("清晰优先") << "a.png"
                              << "rbMax";
    QTest::newRow("普通压缩") << "a.docx"
                              << "rbNormal";
    QTest::newRow("保持原样式") << "a.png"
                                << "rbOrigin";
    QTest::newRow("转换格式") << "a.mp4"
                              << "rbFormat";
    QTest::newRow("自定义路径") << "a.pdf"
                                << "rbNewOutDir";
    QTest::newRow("原目录") << "a.pdf"
                            << "rbOutDir";
    QTest::newRow("自定义宽高") << "a.png"
                                << "rbSetWH";
    QTest::newRow("压缩强度") << "a.mp4"
                              << "sliderCompVal";
    QTest::newRow("宽高比") << "a.mp4"
                            << "lineEditScale";
    QTest::newRow("压缩质量") << "a.pdf"
                              << "lineEditQuality_2";
}

void TestMainWidget::optionChangeRewindsTheQueue()
{
    QFETCH(QString, file);
    QFETCH(QString, option);
    const QString path = m_dir->filePath(file);
    QFile unreadable(path);
    QVERIFY(unreadable.open(QIODevice::WriteOnly));
    unreadable.write(QByteArray(4096, 'x'));
    unreadable.close();
    MainWidget window;
    window.show();
    window.openFile(path);
    const int kind = window.currentKind();
    QTest::mouseClick(child<QPushButton>(window, "btnCompress"), Qt::LeftButton);
    // The timer's first tick, without waiting a second for it.
    QVERIFY(QMetaObject::invokeMethod(&window, "slot_pushQueue", Qt::DirectConnection));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isQueueRunning(), 60000);
    QCOMPARE(window.queueIndex(kind), 1);

    QWidget* widget = child<QWidget>(window, option.toLatin1().constData());
    QVERIFY(widget);
    if (auto* slider = qobject_cast<QSlider*>(widget))
        QTest::keyClick(slider, Qt::Key_Left);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::mouseClick(widget, Qt::LeftButton);
    // The next start compresses the kind's files again, from the first.
    QCOMPARE(window.queueIndex(kind), 0);
}

void TestMainWidget::rowPressShowsTheSourceSize()
{
    MainWidget window;
    window.show();
    const QString first = m_dir->filePath("first.png");
    const QString second = m_dir->filePath("second.jpg");
    writeImage(first, 64, 48);
    writeImage(second, 320, 200);
    window.openFile(first);
    window.openFile(second);
    auto* list = child<QListWidget>(window, "listWidgetImage");
    QCOMPARE(list->count(), 2);
    QCOMPARE(child<QLabel>(window, "labelWidth")->text(), QString("320"));
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QCOMPARE(child<QLabel>(window, "labelWidth")->text(), QString("64"));
    QCOMPARE(child<QLabel>(window, "labelHeight")->text(), QString("48"));
    // The width shown on the page comes back with it.
    QTest::mouseClick(child<QPushButton>(window, "btnPDFCompress"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "btnImageCompress"), Qt::LeftButton);
    QCOMPARE(child<QLabel>(window, "labelWidth")->text(), QString("64"));
}

void TestMainWidget::droppedEndingInAnyCaseIsTaken()
{
    // The add-file and add-folder dialogs take such a name; a drop takes it too.
    MainWidget window;
    window.show();
    const QString picture = m_dir->filePath("Holiday.Jpg");
    writeImage(picture, 64, 48);
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera2"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(picture)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QCOMPARE(answerer.answered(), 0);
    QCOMPARE(window.queue(Kind::Image), QStringList{picture});
    QCOMPARE(child<QLabel>(window, "labelWidth")->text(), QString("64"));
}

void TestMainWidget::menuEntriesSayWhatTheyCannotDo()
{
    MainWidget window;
    window.show();
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    auto* menu = window.findChild<QMenu*>();
    QVERIFY(menu);
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    QCOMPARE(texts, QStringList({"使用教程", "产品官网", "关于我们", "检查更新"}));
    for (QAction* action : menu->actions())
        action->trigger();
    QCOMPARE(answerer.answered(), 4);
    QVERIFY(answerer.texts().at(0).contains("使用教程"));
    QVERIFY(answerer.texts().at(1).contains("产品官网"));
    QVERIFY(answerer.texts().at(2).contains("Vornex"));
    QVERIFY(answerer.texts().at(2).contains("2.0.0.4"));
    QVERIFY(answerer.texts().at(3).contains("检查更新"));
    QTest::mouseClick(child<QPushButton>(window, "btnCustomer"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(window, "btnLogin"), Qt::LeftButton);
    QTRY_COMPARE(answerer.answered(), 6);
    QVERIFY(answerer.texts().at(4).contains("客服"));
    QVERIFY(answerer.texts().at(5).contains("登录"));
}

void TestMainWidget::maximiseAndRestore()
{
    MainWidget window;
    window.show();
    auto* layout = window.findChild<QLayout*>("horizontalLayout_30");
    auto* maximise = child<QPushButton>(window, "btnMax");
    QTest::mouseClick(maximise, Qt::LeftButton);
    QVERIFY(window.isMaximized());
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(maximise->toolTip(), QString("向下还原"));
    QTest::mouseDClick(child<QFrame>(window, "frameTitle"), Qt::LeftButton);
    QVERIFY(!window.isMaximized());
    QCOMPARE(layout->contentsMargins(), QMargins(8, 8, 8, 8));
    QCOMPARE(maximise->toolTip(), QString("最大化"));
}

void TestMainWidget::titleStripDrag()
{
    MainWidget window;
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* title = child<QFrame>(window, "frameTitle");
    const QPoint start = window.pos();
    const QPoint local(200, 20);
    const QPoint global = title->mapToGlobal(local);
    auto send = [title](QEvent::Type type, QPoint at, QPoint globalAt, Qt::MouseButton button,
                        Qt::MouseButtons held) {
        QMouseEvent event(type, at, globalAt, button, held, Qt::NoModifier);
        QApplication::sendEvent(title, &event);
    };
    send(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, local + QPoint(30, 20), global + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, local + QPoint(45, 10), global + QPoint(45, 10), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.pos(), start + QPoint(45, 10));
    send(QEvent::MouseButtonRelease, local, global + QPoint(45, 10), Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, local, global + QPoint(90, 90), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.pos(), start + QPoint(45, 10));
    // The right button starts no drag.
    send(QEvent::MouseButtonPress, local, global, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, local, global + QPoint(5, 5), Qt::NoButton, Qt::RightButton);
    QCOMPARE(window.pos(), start + QPoint(45, 10));
}

void TestMainWidget::outputFolder()
{
    MainWidget window;
    window.show();
    QTest::mouseClick(child<QPushButton>(window, "btnPDFCompress"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(window, "rbNewOutDir"), Qt::LeftButton);
    auto* label = child<QLabel>(window, "labelPath");
    auto* change = child<QPushButton>(window, "btnChangeDir");
    const QString chosen = m_dir->filePath("out");
    QVERIFY(QDir().mkpath(chosen));
    {
        ModalAnswerer answerer(ModalAnswerer::chooseFolder(chosen));
        QTest::mouseClick(change, Qt::LeftButton);
        QCOMPARE(answerer.answered(), 1);
    }
    QCOMPARE(label->text(), chosen + "/");
    QCOMPARE(label->toolTip(), chosen + "/");
    {
        // A cancelled dialog keeps the folder chosen before.
        ModalAnswerer answerer(ModalAnswerer::reject());
        QTest::mouseClick(change, Qt::LeftButton);
        QCOMPARE(answerer.answered(), 1);
    }
    QCOMPARE(label->text(), chosen + "/");
}

void TestMainWidget::closeCancelledKeepsRunning()
{
    MainWidget window;
    window.show();
    const QString own = TempFolder::path();
    QVERIFY(QDir(own).exists());
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera2"));
    QTest::mouseClick(child<QPushButton>(window, "btnClose"), Qt::LeftButton);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(answerer.texts().first().contains("关闭应用"));
    QVERIFY(answerer.texts().first().contains("软件结束后将结束当前工作进程，确定要退出吗？"));
    QVERIFY(window.isVisible());
    QVERIFY(QDir(own).exists());
}

void TestMainWidget::closeConfirmedCleansUp()
{
    MainWidget window;
    window.show();
    QTest::mouseClick(child<QPushButton>(window, "btnHistory"), Qt::LeftButton);
    QWidget* history = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == "HistoryWidget" && top->isVisible())
            history = top;
    }
    QVERIFY(history);
    // Another program's intermediate files share the temporary folder and must stay.
    const QString own = TempFolder::path();
    QVERIFY(QFile(own + "scale_1.png").open(QIODevice::WriteOnly));
    const QString others = PlatformConstants::tempFolder() + "vx-other/";
    QVERIFY(QDir().mkpath(others));
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    QTest::mouseClick(child<QPushButton>(window, "btnClose"), Qt::LeftButton);
    QCOMPARE(answerer.answered(), 1);
    QVERIFY(!window.isVisible());
    QVERIFY(!history->isVisible());
    QVERIFY(!QDir(own).exists());
    QVERIFY(QDir(others).exists());
}

void TestMainWidget::closeFromTheWindowSystemAsksToo()
{
    MainWidget window;
    window.show();
    const QString own = TempFolder::path();
    {
        ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera2"));
        QVERIFY(!window.close());
        QTRY_COMPARE(answerer.answered(), 1);
        QVERIFY(window.isVisible());
    }
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    QVERIFY(!window.close());
    // A second request while the question is open asks nothing more.
    QVERIFY(!window.close());
    QTRY_COMPARE(answerer.answered(), 1);
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(!QDir(own).exists());
}

void TestMainWidget::unwritableLogIsSaidOnce()
{
    // The data folder's disk fills while the program runs: the log, the one place where failures are
    // told, can no longer be written.
    const QString data = m_dir->filePath("data");
    const QString savedData = g_AppDataPath;
    const auto restore = qScopeGuard([savedData] { g_AppDataPath = savedData; });
    g_AppDataPath = data;

    MainWidget window;
    window.show();
    QVERIFY(Tool::writeLog("a line while the disk has room"));
    const QString log = data + "/Vornix/log.txt";
    QVERIFY(QFile::remove(log));
    QVERIFY(QFile::link("/dev/full", log));
    ModalAnswerer answerer(ModalAnswerer::clickButton("btnOpera1"));
    QSignalSpy reports(&LogNotice::instance(), &LogNotice::logUnwritable);
    // Standard error into a file while the lines are logged, from a worker and from this thread.
    QTemporaryFile errors;
    QVERIFY(errors.open());
    const int savedError = ::dup(STDERR_FILENO);
    ::dup2(errors.handle(), STDERR_FILENO);
    std::thread worker([] { Tool::writeLog("compress fail from a worker"); });
    worker.join();
    Tool::writeLog("compress fail from the window");
    std::fflush(stderr);
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);

    QTRY_COMPARE(answerer.answered(), 1);
    QCOMPARE(
        answerer.texts().first(),
        QString("提示|日志无法写入|无法写入日志文件 %1（No space left on device），压缩结果可能无法记录。")
            .arg(log));
    QCOMPARE(reports.size(), 1);
    QFile told(errors.fileName());
    QVERIFY(told.open(QIODevice::ReadOnly));
    QCOMPARE(told.readAll(), "Vornex: cannot write the log " + log.toUtf8() + ": No space left on device\n");
    QVERIFY(window.isVisible());
}

QTEST_MAIN(TestMainWidget)
#include "tst_mainwidget.moc"
