#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// File names that a tool could read as its own syntax (ImageMagick's "%d" and "[0]", a shell's "*",
// the document tool's "*"-joined list), for the tests that compress every kind of file under them,
// and the neighbour files that such a misread name could reach.
class OddNames
{
public:
    // Base names with "%o", "%d", "%x", "*", "?", "[0]" and a newline, and one with a leading blank,
    // a tab, "#" and "%20".
    static QStringList baseNames();
    // A data tag for a name, its newline and tab written as "\n" and "\t".
    static QString tag(const QString& name);
    // Writes the neighbours into `folder` ("c_500ff banner.jpg", "aXb.jpg", "a", ...), each with
    // bytes of its own; false when one could not be written.
    static bool makeNeighbours(const QString& folder);
    // Every entry of `folder` (hidden ones included) with the bytes of the files among them.
    static QMap<QString, QByteArray> contentsOf(const QString& folder);
    // What differs between a folder's contents before and after a compression that was to add
    // `result` and nothing else: empty when every entry of `before` is there unchanged, `result` is
    // new and not empty, and nothing else appeared.
    static QString differences(const QMap<QString, QByteArray>& before,
                               const QMap<QString, QByteArray>& after, const QString& result);
};
