#pragma once

#include <QString>

// Appearance settings of the account library's dialogs.
class QCustomUI
{
public:
    static void setAboutImage(const QString& path);
    static QString aboutImage();
};
