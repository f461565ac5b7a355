#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The document tool's "-name=value" arguments. A value may hold '=' and blanks; a repeated name
// keeps its last value.
class DocToolArguments
{
public:
    explicit DocToolArguments(const QStringList& arguments);

    QString value(const QString& name) const { return m_values.value(name); }
    bool has(const QString& name) const { return m_values.contains(name); }

private:
    QMap<QString, QString> m_values;
};
