#pragma once

#include <string>

// Splits a command line into its arguments. Blanks, tabs and line ends separate arguments outside
// double quotes; a quoted run is copied as it stands (blanks included) and may join characters
// before and after it into one argument; quote characters are never copied and backslashes have
// no special meaning. An empty quoted run gives an empty argument.
//
// The result is one block from Win32Api::GlobalAlloc: a null-terminated table of pointers to the
// arguments, followed by their characters. The caller releases it with one Win32Api::GlobalFree.
// count receives the number of arguments. Null (count 0) when the block cannot be allocated.
char** splitCommandLine(const std::string& commandLine, int* count);
