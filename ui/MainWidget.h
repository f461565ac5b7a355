#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QListWidget;

// The main window. Kind pages: -1 home, then the Kind index (0 video, 1 image, 2 PowerPoint,
// 3 PDF, 4 Word). Each kind keeps a queue of the files added to it.
class MainWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kKindCount = 5;
    static constexpr int kHomePage = -1;

    explicit MainWidget(QWidget* parent = nullptr);

    // Start-up's page modes: 1 video, 2 image, 3 PDF; anything else does nothing.
    void showKindPage(int mode);
    // Opens the page of the file's kind and adds the file to it.
    void openFile(const QString& path);
    void switchPageBySuffix(const QString& suffix);
    void addFile(const QString& path);

    int currentKind() const { return m_currentKind; }
    QStringList queue(int kind) const;

    // Kind index of a file suffix (any case), or -1 for an unsupported one.
    static int kindOfSuffix(const QString& suffix);

private:
    void setCurrentKind(int kind);
    void refreshView();

    int m_currentKind = kHomePage;
    QStringList m_queues[kKindCount];
    QLabel* m_pageLabel = nullptr;
    QListWidget* m_fileList = nullptr;
};
