#pragma once

#include <memory>

#include "QBaseDialog.h"

namespace Ui
{
class QToolTipWidget;
}

// The message dialog of every question and refusal: a title, a headline, a body text and two
// buttons whose texts and visibility the caller sets. The first button accepts, the second, the
// close button and Escape reject.
class QToolTipWidget : public QBaseDialog
{
    Q_OBJECT
public:
    explicit QToolTipWidget(QWidget* parent = nullptr);
    ~QToolTipWidget() override;

    void setTitle(const QString& text);
    void setTipText1(const QString& text);
    void setTipText2(const QString& text, Qt::Alignment alignment);
    void setBtnOpera1(const QString& text, bool visible);
    void setBtnOpera2(const QString& text, bool visible);

signals:
    void signal_opera1();
    void signal_opera2();

public slots:
    void onBtnOpera1();
    void onBtnOpera2();

private:
    std::unique_ptr<Ui::QToolTipWidget> m_ui;
};
