#pragma once

#include <QGenericPlugin>
#include <QObject>

// Loaded into a Qt program through QT_QPA_GENERIC_PLUGINS=vxwidgetreport: once the program's event
// loop runs with a visible window, writes what its windows show to the JSON file named by
// VX_WIDGET_REPORT (window titles; for every visible list its object name and the texts of its rows
// and of the labels inside it; every visible label's text) and ends the program.
class WidgetReportPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "widgetreport.json")
public:
    QObject* create(const QString& key, const QString& parameters) override;
};

class WidgetReporter : public QObject
{
    Q_OBJECT
public:
    explicit WidgetReporter(QObject* parent = nullptr);

private:
    void check();
    void report();
    int m_checks = 0;
};
