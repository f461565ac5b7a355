#include "codecvt_gbk.h"

#include "platform/PlatformConstants.h"

codecvt_gbk::codecvt_gbk()
    : std::codecvt_byname<wchar_t, char, std::mbstate_t>(PlatformConstants::gbkLocaleName(), 0)
{
}

codecvt_gbk::~codecvt_gbk() = default;
