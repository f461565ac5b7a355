#include "EngineWatch.h"

#include <QChildEvent>
#include <QPointer>

#include "DocCompressCore.h"
#include "ImageCompressCore.h"
#include "VideoCompressCore.h"

EngineWatch::EngineWatch(QObject& window)
{
    window.installEventFilter(this);
}

bool EngineWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ChildAdded) {
        // The child is still being built: it is followed once its constructor has returned, which is
        // before the event loop can carry any of its reports.
        QPointer<QObject> child = static_cast<QChildEvent*>(event)->child();
        QMetaObject::invokeMethod(
            this, [this, child] { follow(child); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void EngineWatch::follow(QObject* child)
{
    if (!child)
        return;
    const auto handler = [this, child](float progress, bool stat, QString output, float) {
        report(child, progress, stat, output);
    };
    if (auto* video = qobject_cast<VideoCompressCore*>(child))
        connect(video, &VideoCompressCore::sig_sendProgress, this, handler);
    else if (auto* image = qobject_cast<ImageCompressCore*>(child))
        connect(image, &ImageCompressCore::sig_sendProgress, this, handler);
    else if (auto* document = qobject_cast<DocCompressCore*>(child))
        connect(document, &DocCompressCore::sig_sendProgress, this, handler);
    else
        return;
    m_running.insert(child, QString());
    m_mostRunning = qMax(m_mostRunning, m_running.size());
    connect(child, &QObject::destroyed, this, [this, child] { m_running.remove(child); });
}

void EngineWatch::report(QObject* engine, float progress, bool stat, const QString& output)
{
    if (!m_running.contains(engine))
        return; // after its final report
    if (!output.isEmpty()) {
        m_running[engine] = output;
        for (auto other = m_running.cbegin(); other != m_running.cend(); ++other) {
            if (other.key() != engine && other.value() == output)
                m_clashes << output;
        }
    }
    if (stat || progress < 0) {
        m_running.remove(engine);
        ++m_finalReports;
    }
    if (m_onReport)
        m_onReport(engine, progress, stat, output);
}
