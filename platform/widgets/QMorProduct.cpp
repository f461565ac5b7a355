#include "QMorProduct.h"

QMorProduct::QMorProduct(QAppType type, const QString& productId, const QString& displayName,
                         const QString& version)
    : m_appType(type)
    , m_productId(productId)
    , m_displayName(displayName)
    , m_version(version)
{
}
