#pragma once

#include <QHash>
#include <QListWidgetItem>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include "HistoryWidget.h"
#include "Kind.h"
#include "KindSettings.h"
#include "QUserHelp.h"
#include "ui_MainWidget.h"

class ListItemWidget;
class QMenu;
class QTimer;

// The main window: the home page with its five kind tiles and the working page of every kind
// (video 0, image 1, PowerPoint 2, PDF 3, Word 4) with its list, options and start button. The
// definitions are split by concern: construction and pages (MainWidget.cpp), file intake
// (MainWidgetIntake.cpp), the compression queue (MainWidgetQueue.cpp) and the window frame, menu,
// account and close (MainWidgetFrame.cpp).
class MainWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTaskSlots = 4;

    explicit MainWidget(QWidget* parent = nullptr);
    ~MainWidget() override;

    // Start-up's page modes, one for each of its options "--video", "--image" and "--pdf". They are
    // numbered apart from the kinds; any other number opens no page.
    enum PageMode { VideoPage = 1, ImagePage = 2, PdfPage = 3 };
    void showKindPage(int mode);
    // Opens the page of the file's kind and adds the file to it, as a file chosen in the add dialog.
    void openFile(const QString& path);
    void switchPageBySuffix(const QString& suffix);
    void addFile(const QString& path);
    void addDir(const QString& path);

    // What the queue holds, for the start-up path and for tests.
    int currentKind() const { return m_kind; }
    QStringList queue(int kind) const;
    int queueIndex(int kind) const;
    int freeTaskSlots() const { return m_realTimeTaskNum; }
    bool isQueueRunning() const;

    // Kind index of a file suffix (any case), or -1 when no kind takes it.
    static int kindOfSuffix(const QString& suffix);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void slot_btnReturn();
    void slot_switchVideoComp();
    void slot_switchImageComp();
    void slot_switchPPTComp();
    void slot_switchWordComp();
    void slot_switchPDFComp();
    void slot_AddFile();
    void slot_AddDir();
    void slot_compressFile();
    void slot_removeListItem(QListWidgetItem* item);
    void slot_clearList();
    void slot_showHistory();
    void slot_changeOutputDir();
    void slot_closeProgram();
    void slot_login();
    void slot_logout();
    void slot_setUserName(QString userName);
    void slot_setAvatar(QPixmap pix);
    void slot_customer();
    void slot_resizeWindow();
    void slot_switchItem(QListWidgetItem* curItem);
    void slot_checkWH(bool check);
    void slot_compressQueue();
    void slot_pushQueue();

private:
    // Construction and pages.
    void initConnections();
    void connectOptionActions();
    void initWidgets();
    void initValidators();
    void showKind(int kind);
    void showListPage(int kind);
    void showKindFrames(int kind);
    void hideOptionFrames();
    void checkModeButton(const int& kind);
    void saveSettings(KindSettings& out);
    void restoreSettings(const KindSettings& in);
    void saveKindSettings(const int& kind);
    void saveShownSettings();
    QListWidget* listOf(int kind) const;

    // Intake.
    bool notInQueue(const QString& path);
    void appendToQueue(const QString& path, const QString& suffix);
    void addRowToKind(QListWidgetItem* item, ListItemWidget* row, const QString& suffix);
    void renumberRows(QVector<ListItemWidget*> rows);
    void showRowSize(ListItemWidget* row, int kind, const QString& path, const QString& suffix);
    void refuse(const QString& headline, const QString& body);
    void showUnsupportedFormat();
    bool refuseWhileRunning();
    static QStringList nameFilters(int kind);
    static QString representativeSuffix(int kind);

    // Queue. A start step takes the options of the file's own kind, never the shown page's widgets.
    void compressVideo(const QString& path, int* index, const KindSettings& settings);
    void compressImage(const QString& path, int* index, const KindSettings& settings);
    void compressPDF(const QString& path, int* index, const KindSettings& settings);
    void compressPPT(const QString& path, int* index, const KindSettings& settings);
    void compressWord(const QString& path, int* index, const KindSettings& settings);
    void compressOffice(const QString& path, int* index, const KindSettings& settings, int kind,
                        const QString& extension);
    void pushKind(int kind);
    bool runHasWork() const;
    void endRun();
    void showStartButton();
    void dispatch(int kind, int* index);
    void dispatchEndedRedos(int kind);
    void recordDispatch(int kind, int index, const QString& path, const QString& output);
    void noteWrittenFile(ListItemWidget* row);
    void forgetRow(int kind, ListItemWidget* row);
    void beginRun();
    void failUnstarted(int kind, int index, const QString& reason);
    void giveBackSlotsOf(int kind);
    int dotNetVersion();

    // Frame, menu, account and close.
    void initMenu();
    void installAccountNotices();
    // The log cannot be written: said once per run, in the message dialog.
    void installLogNotice();
    void showLogNotice(const QString& logPath, const QString& reason);
    void userFrameEvent(QEvent* event);
    void titleFrameEvent(QEvent* event);
    void cleanUpForClose();

    Ui_MainWidget ui;
    QString m_lastDir;
    QString m_outputDir;
    // The groups of five are reached by kind index, never by position.
    QVector<ListItemWidget*> m_rows[Kind::Count];
    QVector<QListWidgetItem*> m_items[Kind::Count];
    int m_rowCounter[Kind::Count] = {};
    int m_queueIndex[Kind::Count] = {};
    QStringList m_queue[Kind::Count];
    KindSettings m_settings[Kind::Count];
    int m_kind = 0;
    int m_realTimeTaskNum = kTaskSlots;
    QTimer* m_timer = nullptr;
    // The kinds whose start was pressed in the current run, in the order pressed: the tick takes
    // files of these kinds only, whichever page is shown.
    QVector<int> m_runKinds;
    HistoryWidget m_historyWidget;
    QUserHelp m_userHelp;
    QMenu* m_menu = nullptr;
    int m_videoWidth = 0;
    int m_videoHeight = 0;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    // Rows whose compression was dispatched and has not reported its end, each holding a task slot,
    // with the engine that works for it.
    QHash<ListItemWidget*, QObject*> m_running;
    // Rows that an option change rewound past while they were still running: each runs again, with
    // the new options, once it has ended. Never two engines for one row.
    QSet<ListItemWidget*> m_redo[Kind::Count];
    // The output each row was given in the current run; a row that runs again gives its name back
    // first, so that its new result replaces its old one instead of taking a numbered name.
    QHash<ListItemWidget*, QString> m_outputOf;
    bool m_closeConfirmed = false;
    bool m_closeAsked = false;
};
