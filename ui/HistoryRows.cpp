#include "HistoryRows.h"

#include <algorithm>

#include <QEvent>
#include <QListWidget>
#include <QListWidgetItem>
#include <QScrollBar>

#include "HistoryWidgetItem.h"

namespace
{
// Where an item keeps its record until its row widget is made.
const int kRecordRole = Qt::UserRole + 1;
// Rows made at least either side of the view, so a list not laid out yet (a hidden window) has its
// first rows too.
const int kLeastPage = 16;
} // namespace

HistoryRows::HistoryRows(QListWidget* list)
    : QObject(list)
    , m_list(list)
    , m_viewport(list->viewport())
{
    // One size for all lets the list place its items without asking each one.
    m_list->setUniformItemSizes(true);
    m_viewport->installEventFilter(this);
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &HistoryRows::showRowsInView);
}

void HistoryRows::fill(const QList<QStringList>& records)
{
    clear();
    m_rowSize = HistoryWidgetItem::formSize();
    for (const QStringList& record : records) {
        auto* item = new QListWidgetItem;
        item->setSizeHint(m_rowSize);
        item->setData(kRecordRole, record);
        m_list->addItem(item);
    }
    showRowsInView();
}

void HistoryRows::clear()
{
    m_list->clear(); // deletes the items with their row widgets
    m_made.clear();
}

bool HistoryRows::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport still sends its last events while the list is being destroyed around it.
    if (event->type() == QEvent::Resize && watched == m_viewport)
        showRowsInView();
    return QObject::eventFilter(watched, event);
}

void HistoryRows::showRowsInView()
{
    const int count = m_list->count();
    if (count == 0)
        return;
    const int rowHeight = std::max(1, m_rowSize.height());
    const int value = m_list->verticalScrollBar()->value();
    const int first =
        m_list->verticalScrollMode() == QAbstractItemView::ScrollPerItem ? value : value / rowHeight;
    const int page = std::max(m_list->viewport()->height() / rowHeight + 1, kLeastPage);
    // Kept a page further out than made, so that scrolling to and fro does not make rows again and again.
    const int keepFrom = first - 2 * page;
    const int keepTo = first + 3 * page;
    for (auto it = m_made.begin(); it != m_made.end();) {
        if (*it >= keepFrom && *it <= keepTo) {
            ++it;
            continue;
        }
        m_list->removeItemWidget(m_list->item(*it)); // deleted later, with its events
        it = m_made.erase(it);
    }
    const int makeTo = std::min(count - 1, first + 2 * page);
    for (int row = std::max(0, first - page); row <= makeTo; ++row)
        makeRow(row);
}

void HistoryRows::makeRow(int row)
{
    if (!m_made.insert(row).second)
        return;
    QListWidgetItem* item = m_list->item(row);
    const QStringList record = item->data(kRecordRole).toStringList();
    m_list->setItemWidget(item,
                          new HistoryWidgetItem(m_list, record.value(0), record.value(1), record.value(2)));
}
