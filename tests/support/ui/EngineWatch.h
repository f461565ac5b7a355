#pragma once

#include <functional>

#include <QHash>
#include <QObject>
#include <QStringList>

// Follows every engine that the main window makes, from the moment it exists to its final report:
// how many are running at once, which output each one writes, and whether two running engines ever
// wrote one output. An engine that has sent its final report counts as ended even while it waits
// to be deleted.
class EngineWatch : public QObject
{
    Q_OBJECT
public:
    using Report = std::function<void(QObject* engine, float progress, bool stat, const QString& output)>;

    explicit EngineWatch(QObject& window);

    // Called after the watch has taken each report into account.
    void onReport(Report report) { m_onReport = std::move(report); }

    int running() const { return m_running.size(); }
    int mostRunningAtOnce() const { return m_mostRunning; }
    int finalReports() const { return m_finalReports; }
    // Outputs that one engine reported while another running engine wrote them too.
    QStringList clashes() const { return m_clashes; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QObject* child);
    void report(QObject* engine, float progress, bool stat, const QString& output);

    Report m_onReport;
    QHash<QObject*, QString> m_running; // engines without a final report yet, with their output
    QStringList m_clashes;
    int m_mostRunning = 0;
    int m_finalReports = 0;
};
