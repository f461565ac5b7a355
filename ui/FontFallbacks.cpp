#include "FontFallbacks.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace
{

const char* const kWindowsFamilies[] = {"Microsoft YaHei", "SimSun"};
// The font that scripts/setup.sh installs.
const char* const kPreferredFamily = "WenQuanYi Micro Hei";

// The preferred font when it is installed, else any font that covers Simplified Chinese.
QString chineseFamily(const QFontDatabase& database)
{
    const QStringList families = database.families(QFontDatabase::SimplifiedChinese);
    for (const QString& family : families) {
        if (family.compare(kPreferredFamily, Qt::CaseInsensitive) == 0)
            return family;
    }
    return families.isEmpty() ? QString() : families.first();
}

} // namespace

void installFontFallbacks()
{
    const QFontDatabase database;
    const QString target = chineseFamily(database);
    if (target.isEmpty())
        return;
    for (const char* family : kWindowsFamilies) {
        if (!database.hasFamily(family))
            QFont::insertSubstitution(family, target);
    }
}
