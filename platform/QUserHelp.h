#pragma once

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QString>

class QWidget;

// Account dialogs of the account library. The about dialog is real; login tells the user that
// this build has no accounts; the signals are never emitted because nobody can sign in.
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

    // Texts of the two dialogs, so that callers and tests see what the user is told.
    static QString aboutText();
    static QString loginUnavailableText();

signals:
    void signal_login(const QString& userName);
    void signal_avatar(const QPixmap& avatar);
    void signal_logout();

private:
    QWidget* m_window;
};
