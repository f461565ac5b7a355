#include "WinRegistry.h"

WinRegistry::WinRegistry(const QString& keyPath)
    : m_keyPath(keyPath)
{
}

QStringList WinRegistry::allKeys() const
{
    return QStringList();
}

QVariant WinRegistry::value(const QString& key) const
{
    Q_UNUSED(key);
    return QVariant();
}
