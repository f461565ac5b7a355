#include "CGlobal.h"

namespace
{
QString g_appTitle;
bool g_initialised = false;
} // namespace

void CGlobal::init()
{
    g_initialised = true;
}

void CGlobal::setAppTitle(const QString& title)
{
    g_appTitle = title;
}

void CGlobal::release()
{
    g_initialised = false;
}

QString CGlobal::appTitle()
{
    return g_appTitle;
}

bool CGlobal::isInitialised()
{
    return g_initialised;
}
