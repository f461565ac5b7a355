#include "HistoryChange.h"

#include <json/value.h>

#include <QFileInfo>

#include "JsonParsing.h"
#include "JsonQt.h"

HistoryChange::HistoryChange(Type type, const QString& file, const QString& key)
    : m_type(type)
    , m_file(QFileInfo(file).absoluteFilePath())
    , m_key(key)
{
}

HistoryChange HistoryChange::entry(const QString& file, const QString& key, const QString& date,
                                   const QString& inFilePath, const QString& outFilePath)
{
    HistoryChange change(Type::Entry, file, key);
    change.m_date = date;
    change.m_inFilePath = inFilePath;
    change.m_outFilePath = outFilePath;
    return change;
}

HistoryChange HistoryChange::rename(const QString& file, const QString& key, const QString& inFilePath,
                                    const QString& from, const QString& to)
{
    HistoryChange change(Type::Rename, file, key);
    change.m_inFilePath = inFilePath;
    change.m_outFilePath = from;
    change.m_renamedTo = to;
    return change;
}

HistoryChange HistoryChange::clear(const QString& file, const QString& key)
{
    return HistoryChange(Type::Clear, file, key);
}

QString HistoryChange::refusal(const Json::Value& root) const
{
    if (!root.isObject() && !root.isNull())
        return "not a history object";
    if (m_type == Type::Clear || m_key.isEmpty() || !JsonQt::contains(root, m_key))
        return QString();
    const Json::Value& member = JsonQt::at(root, m_key);
    if (member.isNull() || member.isArray())
        return QString();
    return m_key + " is not a list";
}

bool HistoryChange::applyTo(Json::Value& root) const
{
    if (!refusal(root).isEmpty())
        return false;
    if (m_key.isEmpty())
        return true; // a number that names no kind changes nothing
    switch (m_type) {
    case Type::Entry:
        JsonParsing::appendEntry(root, m_key, m_date, m_inFilePath, m_outFilePath);
        break;
    case Type::Rename:
        JsonParsing::replaceOutput(root, m_key, m_inFilePath, m_outFilePath, m_renamedTo);
        break;
    case Type::Clear:
        JsonQt::at(root, m_key) = Json::Value(Json::arrayValue);
        break;
    }
    return true;
}
