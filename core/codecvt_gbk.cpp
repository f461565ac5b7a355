#include "codecvt_gbk.h"

#include "SystemConstants.h"

codecvt_gbk::codecvt_gbk()
    : std::codecvt_byname<wchar_t, char, std::mbstate_t>(SystemConstants::gbkLocaleName(), 0)
{
}

codecvt_gbk::~codecvt_gbk() = default;
