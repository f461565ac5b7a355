#include "QHttpClient.h"

QHttpClient::QHttpClient(QObject* parent)
    : QObject(parent)
{
}

QHttpClient* QHttpClient::Instance()
{
    static QHttpClient client;
    return &client;
}

void QHttpClient::start(int workers)
{
    Q_UNUSED(workers);
    m_running = true;
}

void QHttpClient::close()
{
    m_running = false;
}
