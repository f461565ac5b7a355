#pragma once

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QString>

class QWidget;

// Account dialogs of the account library. The about notice names the product and its version;
// login and the update check tell the user that this build has no accounts and no online updates;
// the signals are never emitted because nobody can sign in.
class QUserHelp : public QObject
{
    Q_OBJECT
public:
    explicit QUserHelp(QWidget* window, QObject* parent = nullptr);

    bool preLogin();
    void login();
    void showUserWidget(const QPoint& globalPos);
    void showRecommendWidget(QWidget* frame);
    void showAboutDialog();
    void checkUpdate(bool showResult);

    // Text of the about notice, so that callers and tests see what the user is told.
    static QString aboutText();

signals:
    void signal_login(const QString& userName);
    void signal_avatar(const QPixmap& avatar);
    void signal_logout();

private:
    QWidget* m_window;
};
