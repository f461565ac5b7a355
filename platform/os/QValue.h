#pragma once

#include <QMetaType>

#include <json/value.h>

// The account library's value type: a JSON value that can travel in a QVariant.
class QValue
{
public:
    QValue() = default;
    explicit QValue(const Json::Value& value)
        : m_value(value)
    {
    }

    const Json::Value& json() const { return m_value; }

private:
    Json::Value m_value;
};

Q_DECLARE_METATYPE(QValue)
