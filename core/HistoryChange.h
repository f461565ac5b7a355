#pragma once

#include <QString>

namespace Json
{
class Value;
}

// One change to a history file that the window hands to HistoryWriter: an entry for a file sent off,
// an entry whose result went to another name, or one kind's entries emptied. It names its file by the
// absolute path it had when handed in, so a later change of the working folder moves nothing. The
// writer applies it to the file, and a reader to its copy of the file while the change still waits.
class HistoryChange
{
public:
    enum class Type {
        Entry,  // appends an entry
        Rename, // names another output in the latest matching entry
        Clear   // empties the kind's array
    };

    static HistoryChange entry(const QString& file, const QString& key, const QString& date,
                               const QString& inFilePath, const QString& outFilePath);
    static HistoryChange rename(const QString& file, const QString& key, const QString& inFilePath,
                                const QString& from, const QString& to);
    static HistoryChange clear(const QString& file, const QString& key);

    // Applies the change to `root`; false, and `root` as it was, when `root` cannot take it (not a
    // history object, or the kind's member not a list where an entry goes).
    bool applyTo(Json::Value& root) const;
    // Why `root` cannot take the change, as a log line gives it; empty when it can.
    QString refusal(const Json::Value& root) const;

    Type type() const { return m_type; }
    const QString& file() const { return m_file; }
    const QString& key() const { return m_key; }

private:
    HistoryChange(Type type, const QString& file, const QString& key);

    Type m_type;
    QString m_file;
    QString m_key;
    QString m_date;
    QString m_inFilePath;
    QString m_outFilePath;
    QString m_renamedTo;
};
