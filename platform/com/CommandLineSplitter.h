#pragma once

#include <string>
#include <vector>

// The splitting of a command line into arguments that Windows programs apply (after the program
// name): blanks and tabs separate arguments outside double quotes; 2n backslashes before a double
// quote give n backslashes and the quote opens or closes a quoted run, 2n + 1 give n backslashes
// and a literal quote; two double quotes inside a quoted run give one literal quote; other
// backslashes are literal.
class CommandLineSplitter
{
public:
    static std::vector<std::wstring> split(const std::wstring& parameters);
};
