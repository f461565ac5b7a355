#include "QCustomUI.h"

namespace
{
QString g_aboutImage;
} // namespace

void QCustomUI::setAboutImage(const QString& path)
{
    g_aboutImage = path;
}

QString QCustomUI::aboutImage()
{
    return g_aboutImage;
}
