#pragma once

#include <QString>

#include <json/value.h>

// QString conveniences over JsonCpp: a value from a QString, a member by QString, the text of a
// value as a QString. JsonCpp keeps text as UTF-8, and so do these.
class JsonQt
{
public:
    static Json::Value fromQString(const QString& text);
    static QString asQString(const Json::Value& value);
    static Json::Value& at(Json::Value& object, const QString& key);
    static const Json::Value& at(const Json::Value& object, const QString& key);
    static bool contains(const Json::Value& object, const QString& key);
};
