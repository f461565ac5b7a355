#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>
#include <QResource>
#include <QTemporaryDir>
#include <QtTest>

#include "DpiScale.h"
#include "FontFallbacks.h"

namespace
{

struct Rule {
    QString selector;
    QStringList declarations;
};

// The rules of a style sheet in order: selectors joined by ", ", declarations trimmed.
QVector<Rule> parseRules(QString css)
{
    css.remove(QRegularExpression("/\\*.*?\\*/", QRegularExpression::DotMatchesEverythingOption));
    QVector<Rule> rules;
    const QRegularExpression block("([^{}]+)\\{([^{}]*)\\}");
    QRegularExpressionMatchIterator it = block.globalMatch(css);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QStringList selectors = match.captured(1).split(',');
        for (QString& selector : selectors)
            selector = selector.simplified();
        QStringList declarations = match.captured(2).split(';', Qt::SkipEmptyParts);
        for (QString& declaration : declarations)
            declaration = declaration.simplified();
        declarations.removeAll(QString());
        rules.push_back({selectors.join(", "), declarations});
    }
    return rules;
}

QString readResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

const Rule* findRule(const QVector<Rule>& rules, const QString& selector)
{
    for (const Rule& rule : rules) {
        if (rule.selector == selector)
            return &rule;
    }
    return nullptr;
}

QString modeButtons(const QString& state)
{
    QStringList names;
    for (const char* name :
         {"btnImageCompress", "btnPDFCompress", "btnPPTCompress", "btnVideoCompress", "btnWordCompress"})
        names << QString("QPushButton#%1%2").arg(name, state);
    return names.join(", ");
}

QStringList mainSelectors()
{
    return {
        "QFrame#frameMain",
        "QLabel",
        "QLabel#labelTitle",
        "QLabel#labelIco",
        "QPushButton#btnLogin",
        "QPushButton#btnCustomer",
        "QPushButton#btnMenu",
        "QPushButton#btnMin",
        "QPushButton#btnMin:hover",
        "QPushButton#btnMax",
        "QPushButton#btnMax:hover",
        "QPushButton#btnClose",
        "QPushButton#btnClose:hover",
        "QFrame#frameTitle",
        "PressFrame#frameVideoComp",
        "PressFrame#frameImageComp",
        "PressFrame#framePDFComp",
        "PressFrame#frameWordComp",
        "PressFrame#framePPTComp",
        "QLabel#labelTip",
        "QLabel#labelToVideo",
        "QLabel#labelName1, QLabel#labelName2, QLabel#labelName3, QLabel#labelName5, QLabel#labelName6",
        "QLabel#labelToImage",
        "QLabel#labeltoPdf",
        "QLabel#labeltoWord",
        "QLabel#labeltoPPT",
        "QFrame#frameBottom",
        "QPushButton#btnReturn",
        "QPushButton#btnReturn:hover",
        modeButtons(""),
        modeButtons(":hover"),
        modeButtons(":checked"),
        "QWidget#pageEmpty",
        "QPushButton#btnAddFile2",
        "QPushButton#btnAddFile2:hover",
        "QLabel#labelEmpty_2",
        "QPushButton#btnAddFile",
        "QPushButton#btnAddFile:hover, QPushButton#btnAddFolder:hover, QPushButton#btnClear:hover, "
        "QPushButton#btnHistory:hover",
        "QPushButton#btnAddFolder",
        "QPushButton#btnClear",
        "QPushButton#btnHistory",
        "QListWidget",
        "QListWidget::item",
        "QListWidget::item:selected, QListWidget::item:hover",
        "QFrame#frameListHeader",
        "QScrollBar:vertical",
        "QScrollBar::handle:vertical",
        "QScrollBar::handle:vertical:hover",
        "QScrollBar::add-line:vertical",
        "QScrollBar::sub-line:vertical",
        "QMenu",
        "QMenu::item",
        "QMenu::item:hover, QMenu::item:selected, QMenu::item:pressed",
        "QPushButton#btnCompress",
        "QPushButton#btnCompress:hover",
        "QLabel#label_10, QLabel#label_11",
        "QFrame#line2, QFrame#line",
        "QRadioButton",
        "QRadioButton:hover",
        "QRadioButton::indicator",
        "QRadioButton::indicator:unchecked",
        "QRadioButton::indicator:checked",
        "QLabel#labelText9, QLabel#labelVersion",
        "QLabel#labelWidth, QLabel#labelHeight",
        "QLineEdit#lineEditScale, QLineEdit#lineEditQuality, QLineEdit#lineEditQuality_2",
        "QSlider",
        "QSlider::groove:horizontal",
        "QSlider::handle:horizontal",
        "QSlider::add-page:horizontal",
        "QSlider::sub-page:horizontal",
        "QTextBrowser#textBrowser",
        "QLabel#labelPath",
        "QPushButton#btnChangeDir",
        "QPushButton#btnChangeDir:hover",
        "QLineEdit#lineEditImageWidth, QLineEdit#lineEditImageHeight",
    };
}

QStringList historySelectors()
{
    return {
        "QFrame#frameMain",
        "QPushButton#btnClose",
        "QPushButton#btnClose:hover",
        "QFrame#frameHeader",
        "QListWidget",
        "QListWidget::item",
        "QListWidget::item:selected, QListWidget::item:hover",
        "QScrollBar:vertical",
        "QScrollBar::handle:vertical",
        "QScrollBar::handle:vertical:hover",
        "QScrollBar::add-line:vertical",
        "QScrollBar::sub-line:vertical",
        "QPushButton#btnClear",
        "QPushButton#btnClear:hover",
        "QLabel",
        "QLabel#labelTitle",
    };
}

QStringList tooltipSelectors()
{
    return {
        "*",
        "QFrame#frameMain",
        "QLabel#labelTitle",
        "QLabel#labelTipText1",
        "QLabel#labelTipText2",
        "QPushButton#btnOpera1",
        "QPushButton#btnOpera1:hover",
        "QPushButton#btnOpera2",
        "QPushButton#btnOpera2:hover",
        "QPushButton#btnClose",
        "QPushButton#btnClose:hover",
    };
}

QStringList rowSelectors()
{
    return {"QProgressBar", "QProgressBar:chunk", "QLabel", "QPushButton", "QPushButton:hover"};
}

// Every picture of the bundle with its pixel size.
const struct {
    const char* name;
    int width;
    int height;
} kPictures[] = {
    {"logo.png", 30, 30},
    {"VideoComp.png", 120, 120},
    {"ImageComp.png", 120, 120},
    {"PDFComp.png", 100, 100},
    {"组 6700.png", 100, 100},
    {"组 6702.png", 100, 100},
    {"login.png", 76, 29},
    {"customer.png", 76, 29},
    {"menu.png", 76, 29},
    {"MainWidgetMin.png", 34, 34},
    {"btn.min.hover.png", 34, 34},
    {"MainWidgetResize.png", 34, 34},
    {"btn.max.hover.png", 34, 34},
    {"MainWidgetClose.png", 34, 34},
    {"btn.close.hover.png", 34, 34},
    {"btn.return.png", 72, 40},
    {"btn.return.hover.png", 72, 40},
    {"btn.checked.png", 120, 42},
    {"btn.add.file.png", 100, 24},
    {"btn.clear.png", 100, 24},
    {"btn.history.png", 100, 24},
    {"check.box.normal.png", 16, 16},
    {"check.box.checked.png", 16, 16},
    {"userImage1.png", 35, 35},
    {"userImage2.png", 35, 35},
    {"userImage3.png", 35, 35},
    {"userImage4.png", 35, 35},
    {"AboutImage.png", 80, 80},
};

const char* const kSheets[] = {":/mainWidget.css", ":/historyWidget.css", ":/tooltip.css",
                               ":/ListWidgetItem.css"};

} // namespace

class TestResourceBundle : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { dpiScale = 1.0f; }

    void picturePresentAtItsSize_data();
    void picturePresentAtItsSize();
    void imagesFolderHoldsExactlyTheTable();
    void entriesStoredAsSpecified_data();
    void entriesStoredAsSpecified();
    void dataEntries();

    void selectorsInOrder_data();
    void selectorsInOrder();
    void everyUrlExists_data();
    void everyUrlExists();
    void rulesNameTheirPictures_data();
    void rulesNameTheirPictures();
    void paddingsAndSlices_data();
    void paddingsAndSlices();

    void fontSizesRewritable_data();
    void fontSizesRewritable();
    void mainSheetAtOnePointFive();
    void progressBarSizeStaysAtEveryFactor_data();
    void progressBarSizeStaysAtEveryFactor();

    void windowsFontsResolveToChineseFont_data();
    void windowsFontsResolveToChineseFont();
    void styledLabelRendersChineseGlyphs();

    void committedPicturesMatchTheDrawingProgram();
};

void TestResourceBundle::picturePresentAtItsSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    for (const auto& picture : kPictures)
        QTest::newRow(picture.name) << QString::fromUtf8(picture.name)
                                    << QSize(picture.width, picture.height);
}

void TestResourceBundle::picturePresentAtItsSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QImageReader reader(":/Images/" + name);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
}

void TestResourceBundle::imagesFolderHoldsExactlyTheTable()
{
    QStringList expected;
    for (const auto& picture : kPictures)
        expected << QString::fromUtf8(picture.name);
    expected.sort();
    QStringList present = QDir(":/Images").entryList(QDir::Files);
    present.sort();
    QCOMPARE(present, expected);
}

void TestResourceBundle::entriesStoredAsSpecified_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("compression");
    QTest::newRow("main sheet") << ":/mainWidget.css" << int(QResource::ZlibCompression);
    QTest::newRow("history sheet") << ":/historyWidget.css" << int(QResource::ZlibCompression);
    QTest::newRow("dialog sheet") << ":/tooltip.css" << int(QResource::ZlibCompression);
    QTest::newRow("row sheet") << ":/ListWidgetItem.css" << int(QResource::NoCompression);
    QTest::newRow("res1") << ":/res/res1.dat" << int(QResource::NoCompression);
    QTest::newRow("res2") << ":/res/res2.dat" << int(QResource::NoCompression);
    QTest::newRow("res3") << ":/res/res3.dat" << int(QResource::NoCompression);
    QTest::newRow("a picture") << ":/Images/VideoComp.png" << int(QResource::NoCompression);
}

void TestResourceBundle::entriesStoredAsSpecified()
{
    QFETCH(QString, path);
    QFETCH(int, compression);
    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(int(resource.compressionAlgorithm()), compression);
}

void TestResourceBundle::dataEntries()
{
    QFile key(":/res/res1.dat");
    QVERIFY(key.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(key.readAll());
    QCOMPARE(text.size(), 17);
    QCOMPARE(text.trimmed(), text);
    for (const char* path : {":/res/res2.dat", ":/res/res3.dat"}) {
        QFile data(path);
        QVERIFY(data.open(QIODevice::ReadOnly));
        QVERIFY(data.size() > 0);
    }
    QStringList entries = QDir(":/res").entryList(QDir::Files);
    entries.sort();
    QCOMPARE(entries, QStringList({"res1.dat", "res2.dat", "res3.dat"}));
}

void TestResourceBundle::selectorsInOrder_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("selectors");
    QTest::newRow("main") << ":/mainWidget.css" << mainSelectors();
    QTest::newRow("history") << ":/historyWidget.css" << historySelectors();
    QTest::newRow("dialog") << ":/tooltip.css" << tooltipSelectors();
    QTest::newRow("row") << ":/ListWidgetItem.css" << rowSelectors();
}

void TestResourceBundle::selectorsInOrder()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, selectors);
    const QString css = readResource(sheet);
    QVERIFY(!css.isEmpty());
    QStringList found;
    for (const Rule& rule : parseRules(css))
        found << rule.selector;
    QCOMPARE(found, selectors);
    // Nothing outside the rules: braces balance and every block was read.
    QCOMPARE(css.count('{'), selectors.size());
    QCOMPARE(css.count('}'), selectors.size());
}

void TestResourceBundle::everyUrlExists_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("urls");
    QTest::newRow("main") << ":/mainWidget.css" << 27;
    QTest::newRow("history") << ":/historyWidget.css" << 2;
    QTest::newRow("dialog") << ":/tooltip.css" << 2;
    QTest::newRow("row") << ":/ListWidgetItem.css" << 0;
}

void TestResourceBundle::everyUrlExists()
{
    QFETCH(QString, sheet);
    QFETCH(int, urls);
    const QString css = readResource(sheet);
    const QRegularExpression url("url\\(([^)]*)\\)");
    QRegularExpressionMatchIterator it = url.globalMatch(css);
    int count = 0;
    while (it.hasNext()) {
        const QString written = it.next().captured(1);
        QVERIFY2(written.startsWith(":/Images/"), qPrintable(written));
        // A blank in a name is escaped in the sheet and not in the bundle.
        QVERIFY2(!QString(written).remove("\\ ").contains(' '), qPrintable(written));
        const QString path = QString(written).replace("\\ ", " ");
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        ++count;
    }
    QCOMPARE(count, urls);
}

void TestResourceBundle::rulesNameTheirPictures_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("declaration");
    const struct {
        const char* sheet;
        QString selector;
        const char* picture;
    } rows[] = {
        {":/mainWidget.css", "QLabel#labelIco", "logo.png"},
        {":/mainWidget.css", "QPushButton#btnLogin", "login.png"},
        {":/mainWidget.css", "QPushButton#btnCustomer", "customer.png"},
        {":/mainWidget.css", "QPushButton#btnMenu", "menu.png"},
        {":/mainWidget.css", "QPushButton#btnMin", "MainWidgetMin.png"},
        {":/mainWidget.css", "QPushButton#btnMin:hover", "btn.min.hover.png"},
        {":/mainWidget.css", "QPushButton#btnMax", "MainWidgetResize.png"},
        {":/mainWidget.css", "QPushButton#btnMax:hover", "btn.max.hover.png"},
        {":/mainWidget.css", "QPushButton#btnClose", "MainWidgetClose.png"},
        {":/mainWidget.css", "QPushButton#btnClose:hover", "btn.close.hover.png"},
        {":/mainWidget.css", "QLabel#labelToVideo", "VideoComp.png"},
        {":/mainWidget.css", "QLabel#labelToImage", "ImageComp.png"},
        {":/mainWidget.css", "QLabel#labeltoPdf", "PDFComp.png"},
        {":/mainWidget.css", "QLabel#labeltoWord", "组\\ 6700.png"},
        {":/mainWidget.css", "QLabel#labeltoPPT", "组\\ 6702.png"},
        {":/mainWidget.css", "QPushButton#btnReturn", "btn.return.png"},
        {":/mainWidget.css", "QPushButton#btnReturn:hover", "btn.return.hover.png"},
        {":/mainWidget.css", modeButtons(":hover"), "btn.checked.png"},
        {":/mainWidget.css", modeButtons(":checked"), "btn.checked.png"},
        {":/mainWidget.css", "QLabel#labelEmpty_2", "VideoComp.png"},
        {":/mainWidget.css", "QPushButton#btnClear", "btn.clear.png"},
        {":/mainWidget.css", "QPushButton#btnHistory", "btn.history.png"},
        {":/mainWidget.css", "QRadioButton::indicator:unchecked", "check.box.normal.png"},
        {":/mainWidget.css", "QRadioButton::indicator:checked", "check.box.checked.png"},
        {":/mainWidget.css", "QSlider::handle:horizontal", "check.box.normal.png"},
        {":/historyWidget.css", "QPushButton#btnClose", "MainWidgetClose.png"},
        {":/historyWidget.css", "QPushButton#btnClose:hover", "btn.close.hover.png"},
        {":/tooltip.css", "QPushButton#btnClose", "MainWidgetClose.png"},
        {":/tooltip.css", "QPushButton#btnClose:hover", "btn.close.hover.png"},
    };
    for (const auto& row : rows) {
        const QString declaration =
            QString("border-image: url(:/Images/%1)").arg(QString::fromUtf8(row.picture));
        QTest::newRow(qPrintable(QString(row.sheet) + " " + row.selector))
            << row.sheet << row.selector << declaration;
    }
}

void TestResourceBundle::rulesNameTheirPictures()
{
    QFETCH(QString, sheet);
    QFETCH(QString, selector);
    QFETCH(QString, declaration);
    const QVector<Rule> rules = parseRules(readResource(sheet));
    const Rule* rule = findRule(rules, selector);
    QVERIFY2(rule, qPrintable(selector));
    QVERIFY2(rule->declarations.contains(declaration), qPrintable(rule->declarations.join("; ")));
}

void TestResourceBundle::paddingsAndSlices_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QStringList>("declarations");
    const QString yahei = "font-family: \"Microsoft YaHei\"";
    QTest::newRow("login") << "QPushButton#btnLogin"
                           << QStringList{"font-size: 14px", "padding-left: 24px", yahei, "border: none"};
    QTest::newRow("customer") << "QPushButton#btnCustomer" << QStringList{"padding-left: 24px"};
    QTest::newRow("menu") << "QPushButton#btnMenu" << QStringList{"padding-left: 24px"};
    QTest::newRow("return") << "QPushButton#btnReturn"
                            << QStringList{"padding-left: 16px", "font-size: 16px"};
    QTest::newRow("add file") << "QPushButton#btnAddFile"
                              << QStringList{"border-image: url(:/Images/btn.add.file.png) 0 -3 0 3",
                                             "padding-left: 3px", "color: #1A1A1A"};
    QTest::newRow("add folder") << "QPushButton#btnAddFolder"
                                << QStringList{"border-image: url(:/Images/btn.add.file.png) 0 -3 0 3",
                                               "padding-left: 17px"};
    QTest::newRow("clear") << "QPushButton#btnClear" << QStringList{"padding-left: 4px"};
    QTest::newRow("history") << "QPushButton#btnHistory" << QStringList{"padding-left: 6px"};
    QTest::newRow("tile names")
        << "QLabel#labelName1, QLabel#labelName2, QLabel#labelName3, QLabel#labelName5, "
           "QLabel#labelName6"
        << QStringList{"font-size: 22px", yahei, "font-weight: 400"};
    QTest::newRow("slider handle") << "QSlider::handle:horizontal"
                                   << QStringList{"width: 16px", "height: 12px", "margin: -7px"};
    QTest::newRow("radio indicator") << "QRadioButton::indicator"
                                     << QStringList{"width: 16px", "height: 16px"};
}

void TestResourceBundle::paddingsAndSlices()
{
    QFETCH(QString, selector);
    QFETCH(QStringList, declarations);
    const Rule* rule = nullptr;
    const QVector<Rule> rules = parseRules(readResource(":/mainWidget.css"));
    rule = findRule(rules, selector);
    QVERIFY2(rule, qPrintable(selector));
    for (const QString& declaration : declarations)
        QVERIFY2(rule->declarations.contains(declaration), qPrintable(declaration));
}

void TestResourceBundle::fontSizesRewritable_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("main") << ":/mainWidget.css" << QList<int>{14, 16, 22};
    QTest::newRow("history") << ":/historyWidget.css" << QList<int>{14};
    QTest::newRow("dialog") << ":/tooltip.css" << QList<int>{14, 16};
    QTest::newRow("row") << ":/ListWidgetItem.css" << QList<int>{10, 14};
}

void TestResourceBundle::fontSizesRewritable()
{
    QFETCH(QString, sheet);
    QFETCH(QList<int>, sizes);
    const QString css = readResource(sheet);
    const QRegularExpression rewritable("font-size: (\\d+)px;");
    QRegularExpressionMatchIterator it = rewritable.globalMatch(css);
    QSet<int> found;
    int count = 0;
    while (it.hasNext()) {
        found.insert(it.next().captured(1).toInt());
        ++count;
    }
    QVERIFY(count > 0);
    // Every declaration is in the form the rewrite looks for.
    QCOMPARE(css.count("font-size"), count);
    QList<int> sorted = found.values();
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(sorted, sizes);
}

void TestResourceBundle::mainSheetAtOnePointFive()
{
    const QVector<Rule> written = parseRules(readStyleSheet(":/mainWidget.css"));
    dpiScale = 1.5f;
    const QVector<Rule> scaled = parseRules(readStyleSheet(":/mainWidget.css"));
    QCOMPARE(scaled.size(), written.size());
    const QMap<QString, QString> expected{{"font-size: 14px", "font-size: 21px"},
                                          {"font-size: 16px", "font-size: 24px"},
                                          {"font-size: 22px", "font-size: 33px"}};
    int rewritten = 0;
    for (int i = 0; i < written.size(); ++i) {
        QCOMPARE(scaled.at(i).selector, written.at(i).selector);
        QStringList declarations = written.at(i).declarations;
        for (QString& declaration : declarations) {
            if (declaration.startsWith("font-size")) {
                QVERIFY2(expected.contains(declaration), qPrintable(declaration));
                declaration = expected.value(declaration);
                ++rewritten;
            }
        }
        QCOMPARE(scaled.at(i).declarations, declarations);
    }
    QVERIFY(rewritten > 20);
}

void TestResourceBundle::progressBarSizeStaysAtEveryFactor_data()
{
    QTest::addColumn<float>("factor");
    QTest::addColumn<QString>("label");
    QTest::newRow("1.0") << 1.0f << "font-size: 14px";
    QTest::newRow("1.25") << 1.25f << "font-size: 17px";
    QTest::newRow("1.5") << 1.5f << "font-size: 21px";
    QTest::newRow("1.75") << 1.75f << "font-size: 24px";
    QTest::newRow("2.0") << 2.0f << "font-size: 28px";
}

void TestResourceBundle::progressBarSizeStaysAtEveryFactor()
{
    QFETCH(float, factor);
    QFETCH(QString, label);
    dpiScale = factor;
    const QVector<Rule> rules = parseRules(readStyleSheet(":/ListWidgetItem.css"));
    const Rule* bar = findRule(rules, "QProgressBar");
    QVERIFY(bar);
    QVERIFY(bar->declarations.contains("font-size: 10px"));
    const Rule* text = findRule(rules, "QLabel");
    QVERIFY(text);
    QVERIFY2(text->declarations.contains(label), qPrintable(text->declarations.join("; ")));
}

void TestResourceBundle::windowsFontsResolveToChineseFont_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("text");
    QTest::newRow("YaHei") << "Microsoft YaHei" << QString::fromUtf8("视频压缩");
    QTest::newRow("SimSun") << "SimSun" << QString::fromUtf8("直接压缩方法可设置压缩质量");
}

void TestResourceBundle::windowsFontsResolveToChineseFont()
{
    QFETCH(QString, family);
    QFETCH(QString, text);
    installFontFallbacks();
    installFontFallbacks(); // a second call adds nothing
    if (!QFontDatabase().hasFamily(family))
        QCOMPARE(QFont::substitutes(family).size(), 1);
    const QFont font(family);
    const QRawFont raw = QRawFont::fromFont(font);
    QVERIFY(raw.isValid());
    for (const QChar c : text)
        QVERIFY2(raw.supportsCharacter(c), qPrintable(QString("%1 lacks %2").arg(raw.familyName()).arg(c)));
    QVERIFY(
        QFontDatabase().writingSystems(QFontInfo(font).family()).contains(QFontDatabase::SimplifiedChinese));
}

// The sheets name the family in a declaration; the label's resolved font must carry the glyphs.
void TestResourceBundle::styledLabelRendersChineseGlyphs()
{
    installFontFallbacks();
    QLabel label(QString::fromUtf8("视频压缩"));
    label.setStyleSheet(readStyleSheet(":/ListWidgetItem.css"));
    label.ensurePolished();
    QCOMPARE(label.font().family(), QString("Microsoft YaHei"));
    QCOMPARE(label.font().pixelSize(), 14);
    const QRawFont raw = QRawFont::fromFont(label.font());
    for (const QChar c : label.text())
        QVERIFY2(raw.supportsCharacter(c), qPrintable(raw.familyName()));
    const QImage image = label.grab().toImage();
    QVERIFY(!image.isNull());
}

namespace
{

// How far a freshly drawn picture may stray from the committed one. Anti-aliased edges and the
// rounding of semi-transparent pixels depend on which of Qt's processor-specific paths draw and
// save them, so the same program gives slightly different pixels on another machine. Measured as
// stored (ARGB, unpremultiplied) against the committed pictures:
// - a fresh Debian 12 system with the set-up script's packages, built in a clean chroot on the
//   machine that drew them: no pixel differs (the exact comparison passed there);
// - the same build with Qt's SSE4.1 paths off (QT_NO_CPU_FEATURE=sse4.1, as on a processor without
//   them): 21 of the 28 pictures differ, each by 1 step in one channel, at most 46 pixels in one
//   picture (VideoComp.png, 0.3%) and at most 4.7% of a picture (check.box.checked.png, 12 of 256);
//   premultiplied, as compared here, not one pixel differs;
// - another machine: 14 pictures differ by 1 step (logo.png at 12 pixels, AboutImage.png at 4).
// The bounds leave a wide margin over these and still catch a changed shape or colour.
const int kMaxChannelStep = 3;
const double kMaxDifferingShare = 0.20;

// What differs between two pictures of one size, compared premultiplied; empty when they match
// within the bounds above.
QString pictureDifference(const QImage& fresh, const QImage& committed)
{
    const QImage a = fresh.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = committed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0;
    int largest = 0;
    QPoint worst;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = lineA[x];
            const QRgb q = lineB[x];
            const int step = qMax(qMax(qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q))),
                                  qMax(qAbs(qBlue(p) - qBlue(q)), qAbs(qAlpha(p) - qAlpha(q))));
            if (step == 0)
                continue;
            ++differing;
            if (step > largest) {
                largest = step;
                worst = QPoint(x, y);
            }
        }
    }
    const int pixels = a.width() * a.height();
    if (largest <= kMaxChannelStep && differing <= kMaxDifferingShare * pixels)
        return QString();
    return QString("%1 of %2 pixels differ (at most %3 allowed), largest channel step %4 at %5,%6 "
                   "(at most %7 allowed)")
        .arg(differing)
        .arg(pixels)
        .arg(int(kMaxDifferingShare * pixels))
        .arg(largest)
        .arg(worst.x())
        .arg(worst.y())
        .arg(kMaxChannelStep);
}

} // namespace

void TestResourceBundle::committedPicturesMatchTheDrawingProgram()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(VX_ARTWORK_PROGRAM, {"--images", dir.path()});
    QVERIFY2(program.waitForFinished(120000), qPrintable(program.errorString()));
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
             program.readAll().constData());
    QStringList drawn = QDir(dir.path()).entryList(QDir::Files);
    drawn.sort();
    QStringList bundled = QDir(":/Images").entryList(QDir::Files);
    bundled.sort();
    QCOMPARE(drawn, bundled);
    QStringList failures;
    for (const QString& name : drawn) {
        const QImage fresh(QDir(dir.path()).filePath(name));
        const QImage committed(":/Images/" + name);
        if (fresh.isNull() || committed.isNull()) {
            failures << name + ": cannot be read";
        } else if (fresh.size() != committed.size()) {
            failures << QString("%1: drawn %2x%3, committed %4x%5")
                            .arg(name)
                            .arg(fresh.width())
                            .arg(fresh.height())
                            .arg(committed.width())
                            .arg(committed.height());
        } else {
            const QString difference = pictureDifference(fresh, committed);
            if (!difference.isEmpty())
                failures << name + ": " + difference;
        }
    }
    QVERIFY2(failures.isEmpty(),
             qPrintable(failures.join("\n") +
                        "\nRedraw them with scripts/draw-artwork.sh if the drawing changed."));
}

QTEST_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
