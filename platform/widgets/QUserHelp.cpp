#include "QUserHelp.h"

#include <QWidget>

#include "AccountNotices.h"
#include "QCustomUI.h"
#include "QUser.h"

QUserHelp::QUserHelp(QWidget* window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
}

bool QUserHelp::preLogin()
{
    return false;
}

QString QUserHelp::aboutText()
{
    const QMorProduct& product = QUser::Instance()->product();
    const QString name = product.displayName().isEmpty() ? QStringLiteral("Vornex") : product.displayName();
    return QObject::tr("%1\n版本：%2").arg(name, product.version());
}

void QUserHelp::login()
{
    AccountNotices::show(QObject::tr("登录"), AccountNotices::loginText());
}

void QUserHelp::showUserWidget(const QPoint& globalPos)
{
    Q_UNUSED(globalPos);
}

void QUserHelp::showRecommendWidget(QWidget* frame)
{
    Q_UNUSED(frame);
}

void QUserHelp::showAboutDialog()
{
    AccountNotices::show(QObject::tr("关于我们"), aboutText());
}

void QUserHelp::checkUpdate(bool showResult)
{
    if (showResult)
        AccountNotices::show(QObject::tr("检查更新"), AccountNotices::updateText());
}
