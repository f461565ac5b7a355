#include "QCommonMethod.h"

#include <QObject>

#include "AccountNotices.h"

bool QCommonMethod::openUrl(const QString& key, const QString& extra)
{
    Q_UNUSED(extra);
    AccountNotices::show(QObject::tr("无法打开网页"), AccountNotices::webPageText(key));
    return false;
}
