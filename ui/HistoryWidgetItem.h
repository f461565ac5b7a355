#pragma once

#include <memory>

#include <QSize>
#include <QString>
#include <QWidget>

class QListWidget;

namespace Ui
{
class HistoryWidgetItem;
}

// One record of the history window: its date and the names of the input and the output file,
// each a button that opens that file.
class HistoryWidgetItem : public QWidget
{
    Q_OBJECT
public:
    HistoryWidgetItem(QListWidget* list, const QString& date, const QString& inFile, const QString& outFile,
                      QWidget* parent = nullptr);
    ~HistoryWidgetItem() override;

    // A row's size as its form gives it, at the display factor: the size of every row of the list.
    static QSize formSize();

public slots:
    // Open the file with the desktop's program; nothing when the file is gone.
    void slot_openInFile();
    void slot_openOutFile();

private:
    std::unique_ptr<Ui::HistoryWidgetItem> m_ui;
    QListWidget* m_list;
    QString m_inFile;
    QString m_outFile;
};
