#include "AccountNotices.h"

#include <QDebug>
#include <QObject>

namespace
{

AccountNotices::Handler& handler()
{
    static AccountNotices::Handler installed;
    return installed;
}

} // namespace

void AccountNotices::setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

void AccountNotices::show(const QString& headline, const QString& body)
{
    if (handler())
        handler()(headline, body);
    else
        qInfo().noquote() << headline << body;
}

QString AccountNotices::webPageText(const QString& key)
{
    if (key == "tutorial")
        return QObject::tr("此版本不带使用教程网页，无法打开。");
    if (key == "home")
        return QObject::tr("此版本不带产品官网链接，无法打开。");
    if (key == "chatwithus")
        return QObject::tr("此版本没有在线客服，无法连接。");
    return QObject::tr("此版本无法打开该网页。");
}

QString AccountNotices::updateText()
{
    return QObject::tr("此版本不能在线检查更新。");
}

QString AccountNotices::loginText()
{
    return QObject::tr("此版本没有用户账号，无法登录。");
}
