#pragma once

#include <set>

#include <QList>
#include <QObject>
#include <QSize>
#include <QStringList>

class QListWidget;
class QWidget;

// The rows of the history window's list, made as they come into view. Every record is an item of the
// list, all of one size, that carries the record; a HistoryWidgetItem is made only for the items in
// view and a page either side, and dropped again once it is far out of view. So a history of any
// length opens at once and the list holds a few dozen row widgets, whatever its length.
class HistoryRows : public QObject
{
    Q_OBJECT
public:
    explicit HistoryRows(QListWidget* list);

    // Replaces the list's rows by one per record ([date, inFilePath, outFilePath]), in order.
    void fill(const QList<QStringList>& records);
    // Removes every row.
    void clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the row widgets of the items in and near the view, and drops those far from it.
    void showRowsInView();
    void makeRow(int row);

    QListWidget* m_list;
    QWidget* m_viewport; // watched for its size; compared, never called, as the list goes away
    QSize m_rowSize;
    std::set<int> m_made;
};
