#pragma once

#include <memory>

#include <QPoint>
#include <QString>
#include <QWidget>

class HistoryRows;

namespace Ui
{
class HistoryWidget;
}

// The conversion-history window: a frameless, always-on-top tool window that lists one kind's
// records of the history file and empties them on request. Dragged with the left button. Its rows are
// made as they scroll into view (HistoryRows), so a long history opens at once.
class HistoryWidget : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryWidget(QWidget* parent = nullptr);
    ~HistoryWidget() override;

    // Lists the records of `kind` (kind index) in `fileName`, replacing the rows on show.
    void showHistory(const int& kind, const QString& fileName);

public slots:
    // Empties the list and the shown kind's records of "history.json", without asking.
    void slot_clear();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<Ui::HistoryWidget> m_ui;
    bool m_pressed;
    QPoint m_lastMousePos;
    int m_kind;
    HistoryRows* m_rows; // owned by the list
};
