#pragma once

#include <QString>
#include <QStringList>

#include "EngineWatch.h"

class HistoryWidget;
class MainWidget;
class QLabel;
class QListWidget;
class QWidget;

// Drives the real main window as a user would, for the tests that run whole compressions: picks a
// kind's page, presses the start button, waits for the run to end, and reads what the rows show.
// While it lives it also watches how many engines run at once.
class WindowDriver : public QObject
{
    Q_OBJECT
public:
    explicit WindowDriver(MainWidget& window);

    // What start-up sets up before the window exists (fonts, the worker pool), and ends after it.
    static void startProgramServices();
    static void stopProgramServices();
    // The history window on show, of the application's windows; null when none is.
    static HistoryWidget* shownHistoryWindow();

    // Adds each file to its kind's list, as the add-file dialog does.
    void addFiles(const QStringList& paths);
    void showKind(int kind);
    void pressStart();
    // Waits until the queue has stopped and no row of the current kind is still running.
    bool waitForRunEnd(int timeoutMs);

    QListWidget* list(int kind) const;
    int rowCount(int kind) const;
    // The text of a label of row `row` (labelStat, labelCompRate, labelCompSize, labelNumber, ...).
    QString rowText(int kind, int row, const char* label) const;
    QStringList states(int kind) const;
    QString buttonText() const;

    // The most engines that ran at one time since the driver was made (from an engine's making to its
    // final report).
    int mostEnginesAtOnce() const { return m_engines.mostRunningAtOnce(); }
    // Engines that exist, ended ones not yet deleted included.
    int enginesAlive() const;

private:
    MainWidget& m_window;
    EngineWatch m_engines;
};
