#pragma once

#include <string>

// Path helpers of the extension on wide texts. A scan "from the end" looks at the positions from
// the last character down to position 1; position 0 is never taken as a separator. The separator
// is the system's (SystemConstants: '\' on Windows).

// True when the text is strictly longer than the suffix and ends with it, ignoring the case of A-Z.
bool endsWithNoCase(const std::wstring& text, const std::wstring& suffix);
bool isDirectory(const std::wstring& path);
std::wstring removeExtension(const std::wstring& path);
std::wstring fileTitle(const std::wstring& path);
std::wstring parentPath(const std::wstring& path);
std::wstring parentFolderName(const std::wstring& path);
