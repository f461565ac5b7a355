#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Takes over the desktop's handling of a URL scheme ("file" by default) while it lives, so that a
// test sees what would have been opened and nothing is opened for real.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    explicit UrlRecorder(const QString& scheme = QStringLiteral("file"), QObject* parent = nullptr);
    ~UrlRecorder() override;

    QList<QUrl> urls() const { return m_urls; }
    void clear() { m_urls.clear(); }

public slots:
    void open(const QUrl& url);

private:
    QString m_scheme;
    QList<QUrl> m_urls;
};
