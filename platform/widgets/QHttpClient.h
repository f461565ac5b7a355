#pragma once

#include <QObject>

// The account library's HTTP client. This build talks to no server: start and close only
// record whether the client is running.
class QHttpClient : public QObject
{
    Q_OBJECT
public:
    static QHttpClient* Instance();

    void start(int workers);
    void close();
    bool isRunning() const { return m_running; }

private:
    explicit QHttpClient(QObject* parent = nullptr);
    bool m_running = false;
};
