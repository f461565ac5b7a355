#include "UrlRecorder.h"

#include <QDesktopServices>

UrlRecorder::UrlRecorder(const QString& scheme, QObject* parent)
    : QObject(parent)
    , m_scheme(scheme)
{
    QDesktopServices::setUrlHandler(m_scheme, this, "open");
}

UrlRecorder::~UrlRecorder()
{
    QDesktopServices::unsetUrlHandler(m_scheme);
}

void UrlRecorder::open(const QUrl& url)
{
    m_urls.append(url);
}
