#include "WidgetReportPlugin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QThread>
#include <QTimer>

QObject* WidgetReportPlugin::create(const QString& key, const QString&)
{
    return key.compare("vxwidgetreport", Qt::CaseInsensitive) == 0 ? new WidgetReporter : nullptr;
}

WidgetReporter::WidgetReporter(QObject* parent)
    : QObject(parent)
{
    QTimer::singleShot(0, this, &WidgetReporter::check);
}

void WidgetReporter::check()
{
    // The report describes the window as the event loop shows it, after start-up has finished.
    bool shown = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        shown = shown || window->isVisible();
    if ((!shown || QThread::currentThread()->loopLevel() < 1) && ++m_checks < 600) {
        QTimer::singleShot(100, this, &WidgetReporter::check);
        return;
    }
    report();
    QCoreApplication::quit();
}

void WidgetReporter::report()
{
    QJsonArray titles;
    QJsonArray lists;
    QJsonArray labels;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        titles.append(window->windowTitle());
        for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
            if (!view->isVisible() || !view->model())
                continue;
            QJsonArray texts;
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                texts.append(view->model()->index(row, 0, view->rootIndex()).data().toString());
            for (QLabel* label : view->findChildren<QLabel*>())
                texts.append(label->text());
            lists.append(QJsonObject{{"objectName", view->objectName()}, {"texts", texts}});
        }
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->isVisible())
                labels.append(label->text());
        }
    }
    // Written beside and renamed, so that a reader never sees half a report.
    const QString path = QString::fromLocal8Bit(qgetenv("VX_WIDGET_REPORT"));
    QFile file(path + ".partial");
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QJsonDocument(QJsonObject{{"titles", titles}, {"lists", lists}, {"labels", labels}}).toJson());
    file.close();
    QFile::rename(path + ".partial", path);
}
