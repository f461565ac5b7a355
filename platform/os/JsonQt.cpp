#include "JsonQt.h"

Json::Value JsonQt::fromQString(const QString& text)
{
    return Json::Value(text.toStdString());
}

QString JsonQt::asQString(const Json::Value& value)
{
    if (value.isString())
        return QString::fromStdString(value.asString());
    if (value.isNull())
        return QString();
    if (value.isConvertibleTo(Json::stringValue))
        return QString::fromStdString(value.asString());
    return QString();
}

Json::Value& JsonQt::at(Json::Value& object, const QString& key)
{
    return object[key.toStdString()];
}

const Json::Value& JsonQt::at(const Json::Value& object, const QString& key)
{
    return object[key.toStdString()];
}

bool JsonQt::contains(const Json::Value& object, const QString& key)
{
    return object.isObject() && object.isMember(key.toStdString());
}
