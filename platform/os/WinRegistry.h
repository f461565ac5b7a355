#pragma once

#include <QStringList>
#include <QVariant>

// Read access to a registry key. On Windows this is QSettings in the native format; there is no
// registry here, so every key reads as empty.
class WinRegistry
{
public:
    explicit WinRegistry(const QString& keyPath);

    QStringList allKeys() const;
    QVariant value(const QString& key) const;

private:
    QString m_keyPath;
};
