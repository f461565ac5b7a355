#include "QCommonMethod.h"

bool QCommonMethod::openUrl(const QString& key, const QString& extra)
{
    Q_UNUSED(key);
    Q_UNUSED(extra);
    return false;
}
