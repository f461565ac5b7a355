#include "OddNames.h"

#include <QDir>
#include <QFile>

QStringList OddNames::baseNames()
{
    return {"50%off banner", "20%d", "100%x", "a*b", "a?b", "a[0]", "new\nline", " tab\there #1 %20"};
}

QString OddNames::tag(const QString& name)
{
    return QString(name).replace('\n', "\\n").replace('\t', "\\t");
}

bool OddNames::makeNeighbours(const QString& folder)
{
    // What ImageMagick makes of "50%off banner", "20%d", "100%x" and "%o", what "*", "?" and "[0]" match.
    const QStringList names = {"c_500ff banner.jpg",
                               "c_200.jpg",
                               "c_1000.jpg",
                               "c_a0.jpg",
                               "aXb.jpg",
                               "aXb.png",
                               "aXb.gif",
                               "aXb.pdf",
                               "a",
                               "a.gif"};
    for (const QString& name : names) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("neighbour " + name.toUtf8()) <= 0)
            return false;
    }
    return true;
}

QMap<QString, QByteArray> OddNames::contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        QFile file(dir.filePath(name));
        contents.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not a file)"));
    }
    return contents;
}

QString OddNames::differences(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& after,
                              const QString& result)
{
    QStringList found;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            found << "gone: " + tag(it.key());
        else if (after.value(it.key()) != it.value())
            found << "changed: " + tag(it.key());
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()) && it.key() != result)
            found << "appeared: " + tag(it.key());
    }
    if (before.contains(result))
        found << "was there before: " + tag(result);
    else if (after.value(result).isEmpty())
        found << "missing or empty: " + tag(result);
    return found.join("; ");
}
