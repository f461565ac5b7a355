#pragma once

#include <QString>

// Web links of the account library, by key ("tutorial", "home", "chatwithus"). This build has no
// web pages of its own: the user is told so, and no link opens.
class QCommonMethod
{
public:
    static bool openUrl(const QString& key, const QString& extra);
};
