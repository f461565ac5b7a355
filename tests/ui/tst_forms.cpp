#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QtTest>

#include "DpiScale.h"
#include "HistoryWidget.h"
#include "HistoryWidgetItem.h"
#include "ListItemWidget.h"
#include "PressFrame.h"
#include "QCustomShadowEffect.h"
#include "QToolTipWidget.h"

// The widget trees that the forms build, at the display factors 1.0 and 1.25: object names,
// classes, places in the layouts, policies, texts and the pixel sizes (scaled), margins and
// spacings (not scaled).
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { dpiScale = 1.0f; }
    void pressFrame_data() { factors(); }
    void pressFrame();
    void toolTipWidget_data() { factors(); }
    void toolTipWidget();
    void listItemWidget_data() { factors(); }
    void listItemWidget();
    void historyWidget_data() { factors(); }
    void historyWidget();
    void historyWidgetItem_data() { factors(); }
    void historyWidgetItem();

private:
    static void factors();
    // The form's pixel size at the factor under test, written out rather than computed.
    static int px(int size);
};

void TestForms::factors()
{
    QTest::addColumn<float>("factor");
    QTest::newRow("1.0") << 1.0f;
    QTest::newRow("1.25") << 1.25f;
}

int TestForms::px(int size)
{
    if (dpiScale == 1.0f)
        return size;
    static const QMap<int, int> at125 = {
        {0, 0},     {5, 6},     {10, 13},   {20, 25},   {24, 30},   {30, 38},
        {34, 43},   {38, 48},   {40, 50},   {42, 53},   {44, 55},   {50, 63},
        {64, 80},   {96, 120},  {228, 285}, {287, 359}, {300, 375}, {332, 415},
        {400, 500}, {468, 585}, {555, 694}, {647, 809}, {679, 849}, {16777215, 16777215}};
    return at125.value(size, -1);
}

namespace
{

const int kMax = QWIDGETSIZE_MAX;

int indexIn(const QLayout* layout, const QWidget* widget)
{
    return layout ? layout->indexOf(const_cast<QWidget*>(widget)) : -2;
}

QMargins margins(int l, int t, int r, int b)
{
    return QMargins(l, t, r, b);
}

struct Policy {
    QSizePolicy::Policy horizontal;
    QSizePolicy::Policy vertical;
    int stretch;
};

bool hasPolicy(const QWidget* widget, const Policy& policy)
{
    const QSizePolicy p = widget->sizePolicy();
    return p.horizontalPolicy() == policy.horizontal && p.verticalPolicy() == policy.vertical &&
           p.horizontalStretch() == policy.stretch && p.verticalStretch() == 0;
}

bool isStyledRaised(const QFrame* frame)
{
    return frame->frameShape() == QFrame::StyledPanel && frame->frameShadow() == QFrame::Raised;
}

bool isSpacer(QLayoutItem* item)
{
    QSpacerItem* spacer = item ? item->spacerItem() : nullptr;
    return spacer && spacer->sizeHint() == QSize(40, 20) &&
           spacer->sizePolicy().horizontalPolicy() == QSizePolicy::Expanding &&
           spacer->sizePolicy().verticalPolicy() == QSizePolicy::Minimum;
}

template <typename T> T* named(QWidget* root, const char* name)
{
    return root->findChild<T*>(QString::fromLatin1(name), Qt::FindChildrenRecursively);
}

} // namespace

#define FIND(Type, var, root, name)                                                                          \
    Type* var = named<Type>(root, name);                                                                     \
    QVERIFY2(var, name);                                                                                     \
    QCOMPARE(var->metaObject()->className(), Type::staticMetaObject.className())

void TestForms::pressFrame()
{
    QFETCH(float, factor);
    dpiScale = factor;
    PressFrame frame;
    QCOMPARE(frame.objectName(), QString("PressFrame"));
    QCOMPARE(frame.size(), QSize(px(400), px(300)));
    QCOMPARE(frame.windowTitle(), QString("PressFrame"));
    QVERIFY(frame.findChildren<QWidget*>().isEmpty());

    PressFrame named;
    named.setObjectName("frameVideoComp");
    QCOMPARE(named.objectName(), QString("frameVideoComp"));
}

void TestForms::toolTipWidget()
{
    QFETCH(float, factor);
    dpiScale = factor;
    QToolTipWidget dialog;
    QCOMPARE(dialog.objectName(), QString("QToolTipWidget"));
    QCOMPARE(dialog.size(), QSize(px(332), px(228)));
    QCOMPARE(dialog.windowTitle(), QString("QToolTipWidget"));
    QCOMPARE(dialog.windowFlags(), Qt::WindowFlags(Qt::FramelessWindowHint | Qt::Tool));
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(dialog.property("dialog"), QVariant(true));
    auto* shadow = qobject_cast<QCustomShadowEffect*>(dialog.graphicsEffect());
    QVERIFY(shadow);
    QCOMPARE(shadow->blurRadius(), 8.0);
    QCOMPARE(shadow->distance(), 1.0);
    QCOMPARE(shadow->color(), QColor(0, 0, 0, 52));

    auto* horizontalLayout = qobject_cast<QHBoxLayout*>(dialog.layout());
    QVERIFY(horizontalLayout);
    QCOMPARE(horizontalLayout->objectName(), QString("horizontalLayout"));
    QCOMPARE(horizontalLayout->spacing(), 4);
    QCOMPARE(horizontalLayout->contentsMargins(), margins(4, 4, 4, 4));

    FIND(QFrame, frameMain, &dialog, "frameMain");
    QCOMPARE(frameMain->parentWidget(), &dialog);
    QCOMPARE(indexIn(horizontalLayout, frameMain), 0);
    QVERIFY(isStyledRaised(frameMain));
    auto* verticalLayout = qobject_cast<QVBoxLayout*>(frameMain->layout());
    QVERIFY(verticalLayout);
    QCOMPARE(verticalLayout->objectName(), QString("verticalLayout"));
    QCOMPARE(verticalLayout->spacing(), 0);
    QCOMPARE(verticalLayout->contentsMargins(), margins(0, 0, 0, 0));

    FIND(QFrame, frameTitle, &dialog, "frameTitle");
    QCOMPARE(frameTitle->parentWidget(), frameMain);
    QCOMPARE(indexIn(verticalLayout, frameTitle), 0);
    QCOMPARE(frameTitle->minimumSize(), QSize(0, px(40)));
    QCOMPARE(frameTitle->maximumSize(), QSize(kMax, px(40)));
    QVERIFY(isStyledRaised(frameTitle));
    QVERIFY(!frameTitle->layout());

    FIND(QPushButton, btnClose, &dialog, "btnClose");
    QCOMPARE(btnClose->parentWidget(), frameTitle);
    QCOMPARE(btnClose->geometry(), QRect(px(287), px(5), px(30), px(30)));
    QCOMPARE(btnClose->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(btnClose->text(), QString());

    FIND(QLabel, labelTitle, &dialog, "labelTitle");
    QCOMPARE(labelTitle->parentWidget(), frameTitle);
    QCOMPARE(labelTitle->geometry(), QRect(px(10), px(10), px(64), px(20)));
    QCOMPARE(labelTitle->text(), QString::fromUtf8("提示"));

    FIND(QFrame, frameContent, &dialog, "frameContent");
    QCOMPARE(frameContent->parentWidget(), frameMain);
    QCOMPARE(indexIn(verticalLayout, frameContent), 1);
    QVERIFY(isStyledRaised(frameContent));
    auto* verticalLayout_2 = qobject_cast<QVBoxLayout*>(frameContent->layout());
    QVERIFY(verticalLayout_2);
    QCOMPARE(verticalLayout_2->objectName(), QString("verticalLayout_2"));
    QCOMPARE(verticalLayout_2->spacing(), 8);
    QCOMPARE(verticalLayout_2->contentsMargins(), margins(30, 20, 30, 20));

    FIND(QLabel, labelTipText1, &dialog, "labelTipText1");
    QCOMPARE(indexIn(verticalLayout_2, labelTipText1), 0);
    QCOMPARE(labelTipText1->maximumSize(), QSize(kMax, px(24)));
    QCOMPARE(labelTipText1->alignment(), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(labelTipText1->text(), QString());

    FIND(QLabel, labelTipText2, &dialog, "labelTipText2");
    QCOMPARE(indexIn(verticalLayout_2, labelTipText2), 1);
    QCOMPARE(labelTipText2->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(labelTipText2->wordWrap());
    QCOMPARE(labelTipText2->text(), QString());

    auto* horizontalLayout_2 = qobject_cast<QHBoxLayout*>(verticalLayout_2->itemAt(2)->layout());
    QVERIFY(horizontalLayout_2);
    QCOMPARE(verticalLayout_2->count(), 3);
    QCOMPARE(horizontalLayout_2->objectName(), QString("horizontalLayout_2"));
    QCOMPARE(horizontalLayout_2->spacing(), 40);
    QCOMPARE(horizontalLayout_2->count(), 2);
    const char* const buttons[] = {"btnOpera1", "btnOpera2"};
    for (int i = 0; i < 2; ++i) {
        FIND(QPushButton, button, &dialog, buttons[i]);
        QCOMPARE(button->parentWidget(), frameContent);
        QCOMPARE(indexIn(horizontalLayout_2, button), i);
        QCOMPARE(button->minimumSize(), QSize(px(96), px(38)));
        QCOMPARE(button->maximumSize(), QSize(px(96), px(38)));
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(button->text(), QString());
    }
}

void TestForms::listItemWidget()
{
    QFETCH(float, factor);
    dpiScale = factor;
    QListWidget list;
    auto* item = new QListWidgetItem(&list);
    ListItemWidget row(item, "1", "/nowhere/clip.mp4", "mp4", "1.00MB");
    QCOMPARE(row.objectName(), QString("ListItemWidget"));
    QCOMPARE(row.size(), QSize(px(679), px(44)));
    QCOMPARE(row.windowTitle(), QString("ListItemWidget"));

    auto* horizontalLayout = qobject_cast<QHBoxLayout*>(row.layout());
    QVERIFY(horizontalLayout);
    QCOMPARE(horizontalLayout->objectName(), QString("horizontalLayout"));
    QCOMPARE(horizontalLayout->spacing(), 6);
    QCOMPARE(horizontalLayout->contentsMargins(), margins(0, 0, 0, 0));
    QCOMPARE(horizontalLayout->count(), 9);

    struct Column {
        const char* name;
        int stretch;
    };
    const Column labels[] = {{"labelNumber", 1}, {"labelFileName", 3}, {"labelFormat", 2},
                             {"labelSize", 2},   {"labelCompSize", 2}, {"labelCompRate", 2}};
    for (int i = 0; i < 6; ++i) {
        FIND(QLabel, label, &row, labels[i].name);
        QCOMPARE(indexIn(horizontalLayout, label), i);
        QVERIFY(hasPolicy(label, {QSizePolicy::Preferred, QSizePolicy::Preferred, labels[i].stretch}));
        QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
    }
    QCOMPARE(named<QLabel>(&row, "labelFileName")->cursor().shape(), Qt::PointingHandCursor);

    FIND(QProgressBar, sliderProgress, &row, "sliderProgress");
    QCOMPARE(indexIn(horizontalLayout, sliderProgress), 6);
    QVERIFY(hasPolicy(sliderProgress, {QSizePolicy::Preferred, QSizePolicy::Minimum, 2}));
    QCOMPARE(sliderProgress->minimumSize(), QSize(0, px(10)));
    QCOMPARE(sliderProgress->maximumSize(), QSize(kMax, px(10)));
    QCOMPARE(sliderProgress->maximum(), 100);
    QCOMPARE(sliderProgress->value(), 0);

    FIND(QLabel, labelStat, &row, "labelStat");
    QCOMPARE(indexIn(horizontalLayout, labelStat), 7);
    QVERIFY(hasPolicy(labelStat, {QSizePolicy::Preferred, QSizePolicy::Preferred, 2}));
    QCOMPARE(labelStat->alignment(), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(labelStat->text(), QString("stat"));
    QVERIFY(labelStat->isHidden());

    FIND(QFrame, frame, &row, "frame");
    QCOMPARE(indexIn(horizontalLayout, frame), 8);
    QVERIFY(hasPolicy(frame, {QSizePolicy::Preferred, QSizePolicy::Preferred, 3}));
    QVERIFY(isStyledRaised(frame));
    auto* horizontalLayout_2 = qobject_cast<QHBoxLayout*>(frame->layout());
    QVERIFY(horizontalLayout_2);
    QCOMPARE(horizontalLayout_2->objectName(), QString("horizontalLayout_2"));
    QCOMPARE(horizontalLayout_2->spacing(), 6);
    QCOMPARE(horizontalLayout_2->contentsMargins(), margins(11, 11, 11, 11));
    QCOMPARE(horizontalLayout_2->count(), 5);
    QVERIFY(isSpacer(horizontalLayout_2->itemAt(0)));
    QVERIFY(isSpacer(horizontalLayout_2->itemAt(4)));

    FIND(QPushButton, btnOpenFile, &row, "btnOpenFile");
    QCOMPARE(indexIn(horizontalLayout_2, btnOpenFile), 1);
    QVERIFY(hasPolicy(btnOpenFile, {QSizePolicy::Minimum, QSizePolicy::Fixed, 2}));
    QCOMPARE(btnOpenFile->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(btnOpenFile->text(), QString::fromUtf8("打开文件"));

    FIND(QLabel, label, &row, "label");
    QCOMPARE(indexIn(horizontalLayout_2, label), 2);
    QCOMPARE(label->text(), QString("|"));

    FIND(QPushButton, btnRemove, &row, "btnRemove");
    QCOMPARE(indexIn(horizontalLayout_2, btnRemove), 3);
    QVERIFY(hasPolicy(btnRemove, {QSizePolicy::Minimum, QSizePolicy::Fixed, 0}));
    QCOMPARE(btnRemove->maximumSize(), QSize(px(50), kMax));
    QCOMPARE(btnRemove->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(btnRemove->text(), QString::fromUtf8("删除"));
}

void TestForms::historyWidget()
{
    QFETCH(float, factor);
    dpiScale = factor;
    HistoryWidget window;
    QCOMPARE(window.objectName(), QString("HistoryWidget"));
    QCOMPARE(window.size(), QSize(px(555), px(647)));
    QCOMPARE(window.windowTitle(), QString("HistoryWidget"));
    QCOMPARE(window.windowFlags(),
             Qt::WindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint));
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(window.isHidden());
    auto* shadow = qobject_cast<QCustomShadowEffect*>(window.graphicsEffect());
    QVERIFY(shadow);
    QCOMPARE(shadow->parent(), &window);
    QCOMPARE(shadow->blurRadius(), 8.0);
    QCOMPARE(shadow->distance(), 1.0);
    QCOMPARE(shadow->color(), QColor(0, 0, 0, 80));

    auto* verticalLayout_3 = qobject_cast<QVBoxLayout*>(window.layout());
    QVERIFY(verticalLayout_3);
    QCOMPARE(verticalLayout_3->objectName(), QString("verticalLayout_3"));
    QCOMPARE(verticalLayout_3->spacing(), 0);
    QCOMPARE(verticalLayout_3->contentsMargins(), margins(4, 4, 4, 4));

    FIND(QFrame, frameMain, &window, "frameMain");
    QCOMPARE(frameMain->parentWidget(), &window);
    QCOMPARE(indexIn(verticalLayout_3, frameMain), 0);
    QVERIFY(isStyledRaised(frameMain));
    auto* verticalLayout = qobject_cast<QVBoxLayout*>(frameMain->layout());
    QVERIFY(verticalLayout);
    QCOMPARE(verticalLayout->objectName(), QString("verticalLayout"));
    QCOMPARE(verticalLayout->spacing(), 0);
    QCOMPARE(verticalLayout->contentsMargins(), margins(0, 0, 0, 0));
    QCOMPARE(verticalLayout->count(), 2);

    FIND(QFrame, frameTitle, &window, "frameTitle");
    QCOMPARE(indexIn(verticalLayout, frameTitle), 0);
    QVERIFY(hasPolicy(frameTitle, {QSizePolicy::Preferred, QSizePolicy::Fixed, 0}));
    QCOMPARE(frameTitle->minimumSize(), QSize(0, px(42)));
    QCOMPARE(frameTitle->maximumSize(), QSize(kMax, px(42)));
    QVERIFY(isStyledRaised(frameTitle));
    auto* horizontalLayout = qobject_cast<QHBoxLayout*>(frameTitle->layout());
    QVERIFY(horizontalLayout);
    QCOMPARE(horizontalLayout->objectName(), QString("horizontalLayout"));
    QCOMPARE(horizontalLayout->spacing(), 6);
    QCOMPARE(horizontalLayout->contentsMargins(), margins(11, 11, 11, 11));
    QCOMPARE(horizontalLayout->count(), 3);
    FIND(QLabel, labelTitle, &window, "labelTitle");
    QCOMPARE(indexIn(horizontalLayout, labelTitle), 0);
    QCOMPARE(labelTitle->text(), QString::fromUtf8("历史转换记录"));
    QVERIFY(isSpacer(horizontalLayout->itemAt(1)));
    FIND(QPushButton, btnClose, &window, "btnClose");
    QCOMPARE(indexIn(horizontalLayout, btnClose), 2);
    QVERIFY(hasPolicy(btnClose, {QSizePolicy::Minimum, QSizePolicy::Fixed, 0}));
    QCOMPARE(btnClose->minimumSize(), QSize(px(30), px(30)));
    QCOMPARE(btnClose->maximumSize(), QSize(px(30), px(30)));
    QCOMPARE(btnClose->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(btnClose->text(), QString());

    auto* horizontalLayout_2 = qobject_cast<QHBoxLayout*>(verticalLayout->itemAt(1)->layout());
    QVERIFY(horizontalLayout_2);
    QCOMPARE(horizontalLayout_2->objectName(), QString("horizontalLayout_2"));
    QCOMPARE(horizontalLayout_2->spacing(), 0);
    // The bottom margin is unset, which leaves a nested layout at 0.
    QCOMPARE(horizontalLayout_2->contentsMargins(), margins(20, 20, 20, 0));
    FIND(QFrame, frameContent, &window, "frameContent");
    QCOMPARE(frameContent->parentWidget(), frameMain);
    QCOMPARE(indexIn(horizontalLayout_2, frameContent), 0);
    QVERIFY(hasPolicy(frameContent, {QSizePolicy::Expanding, QSizePolicy::Expanding, 0}));
    QVERIFY(isStyledRaised(frameContent));
    auto* verticalLayout_2 = qobject_cast<QVBoxLayout*>(frameContent->layout());
    QVERIFY(verticalLayout_2);
    QCOMPARE(verticalLayout_2->objectName(), QString("verticalLayout_2"));
    QCOMPARE(verticalLayout_2->spacing(), 0);
    QCOMPARE(verticalLayout_2->contentsMargins(), margins(0, 0, 0, 0));
    QCOMPARE(verticalLayout_2->count(), 3);

    FIND(QFrame, frameHeader, &window, "frameHeader");
    QCOMPARE(indexIn(verticalLayout_2, frameHeader), 0);
    QVERIFY(hasPolicy(frameHeader, {QSizePolicy::Preferred, QSizePolicy::Fixed, 0}));
    QCOMPARE(frameHeader->minimumSize(), QSize(0, px(34)));
    QCOMPARE(frameHeader->maximumSize(), QSize(kMax, px(34)));
    QVERIFY(isStyledRaised(frameHeader));
    auto* horizontalLayout_4 = qobject_cast<QHBoxLayout*>(frameHeader->layout());
    QVERIFY(horizontalLayout_4);
    QCOMPARE(horizontalLayout_4->objectName(), QString("horizontalLayout_4"));
    QCOMPARE(horizontalLayout_4->spacing(), 8);
    QCOMPARE(horizontalLayout_4->contentsMargins(), margins(6, 0, 6, 0));
    const char* const headers[] = {"labelHeader1", "labelHeader2", "labelHeader3"};
    const char* const headerTexts[] = {"时间", "输入文件", "输出文件"};
    for (int i = 0; i < 3; ++i) {
        FIND(QLabel, header, &window, headers[i]);
        QCOMPARE(indexIn(horizontalLayout_4, header), i);
        QVERIFY(hasPolicy(header, {QSizePolicy::Preferred, QSizePolicy::Preferred, 1}));
        QCOMPARE(header->alignment(), Qt::Alignment(Qt::AlignCenter));
        QCOMPARE(header->text(), QString::fromUtf8(headerTexts[i]));
    }

    FIND(QListWidget, listWidget, &window, "listWidget");
    QCOMPARE(indexIn(verticalLayout_2, listWidget), 1);
    QCOMPARE(listWidget->count(), 0);

    auto* horizontalLayout_3 = qobject_cast<QHBoxLayout*>(verticalLayout_2->itemAt(2)->layout());
    QVERIFY(horizontalLayout_3);
    QCOMPARE(horizontalLayout_3->objectName(), QString("horizontalLayout_3"));
    QCOMPARE(horizontalLayout_3->spacing(), 6);
    // Room above and below 清空记录, which would otherwise sit on the window's bottom edge.
    QCOMPARE(horizontalLayout_3->contentsMargins(), margins(40, 10, 0, 10));
    FIND(QPushButton, btnClear, &window, "btnClear");
    QCOMPARE(indexIn(horizontalLayout_3, btnClear), 0);
    QCOMPARE(btnClear->text(), QString::fromUtf8("清空记录"));
    QVERIFY(isSpacer(horizontalLayout_3->itemAt(1)));
}

void TestForms::historyWidgetItem()
{
    QFETCH(float, factor);
    dpiScale = factor;
    QListWidget list;
    HistoryWidgetItem row(&list, "2024-05-01", "/in/a.png", "/out/c_a.png");
    QCOMPARE(row.objectName(), QString("HistoryWidgetItem"));
    // A row is 40 pixels high at factor 1.0 and grows with the factor.
    QCOMPARE(row.size(), QSize(px(468), px(40)));
    QCOMPARE(row.windowTitle(), QString("HistoryWidgetItem"));

    auto* horizontalLayout = qobject_cast<QHBoxLayout*>(row.layout());
    QVERIFY(horizontalLayout);
    QCOMPARE(horizontalLayout->objectName(), QString("horizontalLayout"));
    QCOMPARE(horizontalLayout->spacing(), 0);
    QCOMPARE(horizontalLayout->contentsMargins(), margins(0, 0, 0, 0));
    QCOMPARE(horizontalLayout->count(), 3);

    FIND(QLabel, labelDate, &row, "labelDate");
    QCOMPARE(indexIn(horizontalLayout, labelDate), 0);
    QVERIFY(hasPolicy(labelDate, {QSizePolicy::Preferred, QSizePolicy::Preferred, 1}));
    QCOMPARE(labelDate->alignment(), Qt::Alignment(Qt::AlignCenter));

    struct Cell {
        const char* frame;
        const char* layout;
        const char* button;
    };
    const Cell cells[] = {{"frame_2", "horizontalLayout_3", "btnInput"},
                          {"frame", "horizontalLayout_2", "btnOutput"}};
    for (int i = 0; i < 2; ++i) {
        FIND(QFrame, frame, &row, cells[i].frame);
        QCOMPARE(frame->parentWidget(), &row);
        QCOMPARE(indexIn(horizontalLayout, frame), i + 1);
        QVERIFY(hasPolicy(frame, {QSizePolicy::Preferred, QSizePolicy::Preferred, 1}));
        QVERIFY(isStyledRaised(frame));
        QLayout* layout = frame->layout();
        QVERIFY(qobject_cast<QHBoxLayout*>(layout));
        QCOMPARE(layout->objectName(), QString(cells[i].layout));
        QCOMPARE(layout->spacing(), 0);
        QCOMPARE(layout->contentsMargins(), margins(0, 0, 0, 0));
        FIND(QPushButton, button, &row, cells[i].button);
        QCOMPARE(button->parentWidget(), frame);
        QCOMPARE(indexIn(layout, button), 0);
        QVERIFY(hasPolicy(button, {QSizePolicy::Preferred, QSizePolicy::Preferred, 0}));
        QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
