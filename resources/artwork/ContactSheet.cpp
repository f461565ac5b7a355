#include "ContactSheet.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QVBoxLayout>
#include <QVariant>

#include "DpiScale.h"
#include "PictureCatalog.h"

namespace
{

const int kMargin = 16;
const int kSheetWidth = 1400;

QFont captionFont()
{
    QFont font("Microsoft YaHei");
    font.setPixelSize(12);
    return font;
}

QPushButton* button(const QString& name, const QString& text, int width, int height)
{
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setFixedSize(scalePixels(width), scalePixels(height));
    return b;
}

// Marks a widget to be shown with its hover face (see withHoverCopies).
QWidget* hovered(QWidget* widget)
{
    widget->setProperty("previewHovered", true);
    return widget;
}

// Without a mouse no button is hovered; each hover rule is repeated for the marked widgets.
QString withHoverCopies(const QString& css)
{
    QString copies;
    const QRegularExpression rule("([^{}]+)\\{([^{}]*)\\}");
    QRegularExpressionMatchIterator it = rule.globalMatch(css);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QString selector = match.captured(1).trimmed();
        if (!selector.contains(":hover"))
            continue;
        selector.replace(":hover", "[previewHovered=\"true\"]");
        copies += "\n" + selector + " {" + match.captured(2) + "}\n";
    }
    return css + copies;
}

QLabel* picture(const QString& name, int size)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFixedSize(scalePixels(size), scalePixels(size));
    return label;
}

QWidget* titleBar()
{
    auto* frame = new QFrame;
    frame->setObjectName("frameTitle");
    frame->setFixedHeight(scalePixels(50));
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(8);
    row->addWidget(picture("labelIco", 30));
    auto* title = new QLabel("Vornex");
    title->setObjectName("labelTitle");
    row->addWidget(title);
    row->addStretch();
    auto* account = new QHBoxLayout;
    account->setSpacing(20);
    account->setContentsMargins(10, 0, 10, 0);
    account->addWidget(button("btnLogin", QString::fromUtf8("登录"), 76, 29));
    account->addWidget(button("btnCustomer", QString::fromUtf8("客服"), 76, 29));
    account->addWidget(button("btnMenu", QString::fromUtf8("菜单"), 76, 29));
    row->addLayout(account);
    auto* window = new QHBoxLayout;
    window->setSpacing(10);
    window->addWidget(button("btnMin", "", 34, 34));
    window->addWidget(button("btnMax", "", 34, 34));
    window->addWidget(button("btnClose", "", 34, 34));
    window->addWidget(hovered(button("btnMin", "", 34, 34)));
    window->addWidget(hovered(button("btnMax", "", 34, 34)));
    window->addWidget(hovered(button("btnClose", "", 34, 34)));
    row->addLayout(window);
    return frame;
}

QLayout* modeBar()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(20);
    row->addWidget(button("btnReturn", QString::fromUtf8("返回"), 72, 40));
    row->addWidget(hovered(button("btnReturn", QString::fromUtf8("返回"), 72, 40)));
    const char* names[] = {"btnVideoCompress", "btnImageCompress", "btnPDFCompress", "btnWordCompress",
                           "btnPPTCompress"};
    const char* texts[] = {"视频压缩", "图片压缩", "PDF压缩", "Word压缩", "PPT压缩"};
    for (int i = 0; i < 5; ++i) {
        QPushButton* mode = button(names[i], QString::fromUtf8(texts[i]), 120, 42);
        mode->setMinimumSize(scalePixels(120), scalePixels(42));
        mode->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        mode->setCheckable(true);
        mode->setChecked(i == 0);
        row->addWidget(i == 2 ? hovered(mode) : mode);
    }
    row->addStretch();
    return row;
}

QLayout* actionBar()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(26);
    row->addWidget(button("btnAddFile", QString::fromUtf8("添加文件"), 100, 24));
    row->addWidget(button("btnAddFolder", QString::fromUtf8("添加文件夹"), 100, 24));
    row->addWidget(button("btnClear", QString::fromUtf8("清空列表"), 100, 24));
    row->addWidget(button("btnHistory", QString::fromUtf8("历史记录"), 100, 24));
    row->addWidget(hovered(button("btnAddFolder", QString::fromUtf8("添加文件夹"), 100, 24)));
    row->addStretch();
    return row;
}

QLayout* options()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto* normal = new QRadioButton(QString::fromUtf8("普通压缩"));
    normal->setChecked(true);
    row->addWidget(normal);
    row->addWidget(new QRadioButton(QString::fromUtf8("缩小优先")));
    row->addWidget(hovered(new QRadioButton(QString::fromUtf8("清晰优先"))));
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName("sliderCompVal");
    slider->setMinimumWidth(scalePixels(220));
    slider->setValue(40);
    row->addWidget(slider);
    auto* compress = button("btnCompress", QString::fromUtf8("开始压缩"), 180, 48);
    row->addWidget(compress);
    row->addStretch();
    return row;
}

QWidget* tile(const QString& pictureName, const QString& nameLabel, const QString& text)
{
    auto* frame = new QFrame;
    frame->setObjectName("tilePreview");
    frame->setFixedSize(scalePixels(190), scalePixels(200));
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(0, scalePixels(16), 0, scalePixels(10));
    column->addWidget(picture(pictureName, 120), 0, Qt::AlignHCenter);
    auto* name = new QLabel(text);
    name->setObjectName(nameLabel);
    name->setAlignment(Qt::AlignCenter);
    column->addWidget(name);
    return frame;
}

QLayout* tiles()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(tile("labelToVideo", "labelName1", QString::fromUtf8("视频压缩")));
    row->addWidget(tile("labelToImage", "labelName2", QString::fromUtf8("图片压缩")));
    row->addWidget(tile("labeltoPdf", "labelName3", QString::fromUtf8("PDF压缩")));
    row->addWidget(tile("labeltoWord", "labelName5", QString::fromUtf8("Word压缩")));
    row->addWidget(tile("labeltoPPT", "labelName6", QString::fromUtf8("PPT压缩")));
    row->addStretch();
    return row;
}

} // namespace

ContactSheet::ContactSheet(const PictureCatalog& catalog, const QString& imagesFolder,
                           const QString& sheetsFolder)
    : m_catalog(catalog)
    , m_imagesFolder(imagesFolder)
    , m_sheetsFolder(sheetsFolder)
{
}

QImage ContactSheet::render() const
{
    const QImage pictures = renderPictures();
    const QImage normal = renderWidgets(1.0f);
    const QImage large = renderWidgets(1.5f);
    const int width = qMax(pictures.width(), qMax(normal.width(), large.width()) + 2 * kMargin);
    QImage sheetImage(width, pictures.height() + normal.height() + large.height() + 2 * kMargin,
                      QImage::Format_ARGB32);
    sheetImage.fill(QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&sheetImage);
    painter.drawImage(0, 0, pictures);
    painter.drawImage(kMargin, pictures.height(), normal);
    painter.drawImage(kMargin, pictures.height() + normal.height() + kMargin, large);
    return sheetImage;
}

// Each picture as drawn and stretched to 1.5x with the smooth transform that border images use.
QImage ContactSheet::renderPictures() const
{
    struct Cell {
        QImage image;
        QString name;
        QSize size;
    };
    QVector<Cell> cells;
    for (const PictureCatalog::Picture& entry : m_catalog.pictures()) {
        const QImage image(QDir(m_imagesFolder).filePath(entry.name));
        const QSize large = image.size() * 1.5;
        const int width = qMax(image.width() + large.width() + 3 * 8, 200);
        cells.push_back({image, entry.name, QSize(width, large.height() + 34)});
    }
    QVector<QRect> places;
    int x = kMargin;
    int y = kMargin;
    int rowHeight = 0;
    for (const Cell& cell : cells) {
        if (x + cell.size.width() > kSheetWidth - kMargin) {
            x = kMargin;
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
        places.push_back(QRect(QPoint(x, y), cell.size));
        x += cell.size.width() + kMargin;
        rowHeight = qMax(rowHeight, cell.size.height());
    }
    QImage sheetImage(kSheetWidth, y + rowHeight + kMargin, QImage::Format_ARGB32);
    sheetImage.fill(QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&sheetImage);
    painter.setFont(captionFont());
    for (int i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells.at(i);
        const QRect place = places.at(i);
        painter.fillRect(place, Qt::white);
        painter.setPen(QColor(0x88, 0x88, 0x88));
        painter.drawText(
            place.adjusted(8, 4, -8, 0), Qt::AlignLeft | Qt::AlignTop,
            QString("%1  %2x%3").arg(cell.name).arg(cell.image.width()).arg(cell.image.height()));
        const QPoint origin = place.topLeft() + QPoint(8, 26);
        painter.setPen(QColor(0xE0, 0xE0, 0xE0));
        const QRect normal(origin, cell.image.size());
        const QRect large(normal.topRight() + QPoint(9, 0), cell.image.size() * 1.5);
        painter.drawRect(normal.adjusted(-1, -1, 0, 0));
        painter.drawRect(large.adjusted(-1, -1, 0, 0));
        painter.drawImage(normal, cell.image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(large, cell.image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    return sheetImage;
}

// The style sheet from the source folder, pointed at the drawn pictures instead of the bundle.
QString ContactSheet::sheet(const QString& name) const
{
    QString css = readStyleSheet(QDir(m_sheetsFolder).filePath(name));
    css.replace("url(:/Images/", "url(" + QDir(m_imagesFolder).absolutePath() + "/");
    return css;
}

QWidget* ContactSheet::buildSample() const
{
    auto* root = new QFrame;
    root->setObjectName("frameMain");
    auto* column = new QVBoxLayout(root);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(14);
    column->addWidget(titleBar());
    column->addLayout(modeBar());
    column->addLayout(actionBar());
    column->addLayout(options());
    column->addLayout(tiles());
    // The tiles are PressFrames in the window; plain frames here get the same border.
    root->setStyleSheet(withHoverCopies(sheet("mainWidget.css")) +
                        "QFrame#tilePreview { border: 1px solid #347AEB; border-radius: 6px; }");
    return root;
}

QImage ContactSheet::renderWidgets(float factor) const
{
    const float previous = dpiScale;
    dpiScale = factor;
    QWidget* sample = buildSample();
    sample->adjustSize();
    sample->resize(qMax(sample->width(), kSheetWidth - 2 * kMargin), sample->height());
    sample->show();
    const QImage image = sample->grab().toImage();
    delete sample;
    dpiScale = previous;
    return image;
}
