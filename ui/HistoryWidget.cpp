#include "HistoryWidget.h"

#include <QMouseEvent>

#include "DpiScale.h"
#include "FormScaling.h"
#include "HistoryRows.h"
#include "JsonParsing.h"
#include "QCustomShadowEffect.h"
#include "ui_HistoryWidget.h"

HistoryWidget::HistoryWidget(QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::HistoryWidget)
    , m_pressed(false)
    , m_lastMousePos(0, 0)
    , m_kind(-1)
    , m_rows(nullptr)
{
    m_ui->setupUi(this);
    scaleFormPixels(this);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    setStyleSheet(readStyleSheet(":/historyWidget.css"));
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QWidget::hide);
    setAttribute(Qt::WA_TranslucentBackground);
    raise();
    auto* shadow = new QCustomShadowEffect(this);
    shadow->setBlurRadius(8);
    shadow->setDistance(1);
    shadow->setColor(QColor(0, 0, 0, 80));
    setGraphicsEffect(shadow);
    connect(m_ui->btnClear, &QPushButton::clicked, this, &HistoryWidget::slot_clear);
    m_rows = new HistoryRows(m_ui->listWidget);
}

HistoryWidget::~HistoryWidget() = default;

void HistoryWidget::showHistory(const int& kind, const QString& fileName)
{
    m_rows->clear();
    m_kind = kind;
    m_rows->fill(JsonParsing::readHistory(kind, fileName));
}

void HistoryWidget::slot_clear()
{
    m_rows->clear();
    // Handed to the history's writer: the file is emptied when no other program holds its lock.
    JsonParsing::clearHistory("history.json", m_kind);
}

void HistoryWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_lastMousePos = event->globalPos();
}

void HistoryWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return;
    move(geometry().topLeft() + event->globalPos() - m_lastMousePos);
    m_lastMousePos = event->globalPos();
}

void HistoryWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
}
