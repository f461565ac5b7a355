#include "QToolTipWidget.h"

#include "FormScaling.h"
#include "ui_QToolTipWidget.h"

QToolTipWidget::QToolTipWidget(QWidget* parent)
    : QBaseDialog(parent)
    , m_ui(new Ui::QToolTipWidget)
{
    m_ui->setupUi(this);
    scaleFormPixels(this);
    initDialog(":/tooltip.css");
    connect(m_ui->btnOpera1, &QPushButton::clicked, this, &QToolTipWidget::onBtnOpera1);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QBaseDialog::onClose);
    connect(m_ui->btnOpera2, &QPushButton::clicked, this, &QToolTipWidget::onBtnOpera2);
}

QToolTipWidget::~QToolTipWidget() = default;

void QToolTipWidget::setTitle(const QString& text)
{
    m_ui->labelTitle->setText(text);
}

void QToolTipWidget::setTipText1(const QString& text)
{
    m_ui->labelTipText1->setText(text);
}

void QToolTipWidget::setTipText2(const QString& text, Qt::Alignment alignment)
{
    m_ui->labelTipText2->setText(text);
    m_ui->labelTipText2->setAlignment(alignment);
}

void QToolTipWidget::setBtnOpera1(const QString& text, bool visible)
{
    m_ui->btnOpera1->setText(text);
    m_ui->btnOpera1->setVisible(visible);
}

void QToolTipWidget::setBtnOpera2(const QString& text, bool visible)
{
    m_ui->btnOpera2->setText(text);
    m_ui->btnOpera2->setVisible(visible);
}

void QToolTipWidget::onBtnOpera1()
{
    emit signal_opera1();
    onOK();
}

void QToolTipWidget::onBtnOpera2()
{
    emit signal_opera2();
    onClose();
}
