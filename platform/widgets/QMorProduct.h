#pragma once

#include <QString>

// The application types the account library knows; the program registers as type 11.
using QAppType = int;

// Product descriptor handed to the account library at start-up.
class QMorProduct
{
public:
    QMorProduct() = default;
    QMorProduct(QAppType type, const QString& productId, const QString& displayName, const QString& version);

    QAppType appType() const { return m_appType; }
    QString productId() const { return m_productId; }
    QString displayName() const { return m_displayName; }
    QString version() const { return m_version; }

private:
    QAppType m_appType = 0;
    QString m_productId;
    QString m_displayName;
    QString m_version;
};
