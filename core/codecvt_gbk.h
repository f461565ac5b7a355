#pragma once

#include <cwchar>
#include <locale>

// The conversion facet between wide text and GBK bytes (code page 936), taken from the system's
// GBK locale. Created with a reference count of 0, so the std::wstring_convert that owns it
// deletes it.
class codecvt_gbk : public std::codecvt_byname<wchar_t, char, std::mbstate_t>
{
public:
    codecvt_gbk();
    ~codecvt_gbk() override;
};
