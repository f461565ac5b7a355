#pragma once

#include <memory>

#include <QString>
#include <QWidget>

class QListWidgetItem;

namespace Ui
{
class ListItemWidget;
}

// One row of a file list: number, name, format, size and, once compressed, the compressed size,
// the rate and a state; a progress bar while the file runs. Receives its engine's progress reports
// and tells the queue when its compression has ended.
class ListItemWidget : public QWidget
{
    Q_OBJECT
public:
    ListItemWidget(QListWidgetItem* item, QString number, QString filePath, QString format, QString sizeText,
                   QWidget* parent = nullptr);
    ~ListItemWidget() override;

    void setNumber(const int& number);
    void setSourceWidth(int width);
    void setSourceHeight(int height);
    int sourceWidth() const { return m_sourceWidth; }
    int sourceHeight() const { return m_sourceHeight; }
    // The row's file is sent to compression (again): the bar from 0, and no state, size or rate
    // until its new end.
    void setStarted();
    // The file the last run wrote, when the last run ended with a result; empty otherwise.
    QString writtenFile() const { return m_lastRunWrote ? m_outFilePath : QString(); }

signals:
    void sig_remove(QListWidgetItem* item);
    void sig_compressFinsh();

public slots:
    // progress 0 to 1, negative on failure; progressStat true when finished with a result;
    // compRate output size / input size.
    void slot_setProgress(float progress, bool progressStat, QString outFilePath, float compRate);
    // Opens the result when there is one, else the source; nothing when that file is gone.
    void slot_openFile();
    void slot_removeItem();

private:
    void setProgress(const float& progress);
    void setFinished();
    void showResult(const QString& outFilePath, const float& compRate);
    void clearResult();
    void showFileName(const QString& filePath);

    std::unique_ptr<Ui::ListItemWidget> m_ui;
    QString m_outFilePath;
    bool m_lastRunWrote = false;
    QString m_filePath;
    QListWidgetItem* m_item;
    int m_sourceWidth;
    int m_sourceHeight;
};
