#pragma once

#include <memory>

#include <QFrame>

namespace Ui
{
class PressFrame;
}

// A clickable tile of the home page: it rises by 3 pixels while the cursor is over it and reports
// every mouse press.
class PressFrame : public QFrame
{
    Q_OBJECT
public:
    explicit PressFrame(QWidget* parent = nullptr);
    ~PressFrame() override;

signals:
    void sig_MousePressd();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::PressFrame> m_ui;
};
