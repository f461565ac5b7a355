#pragma once

#include <cstddef>
#include <string>

#include "Win32Api.h"

// File and folder helpers, each for an 8-bit and a wide path. Paths are plain texts that use the
// platform's separator (PlatformConstants::separatorChar); nothing is normalised. Failures are
// false or an empty text; nothing throws and nothing is logged.

bool deleteFile(const std::string& path);
bool deleteFile(const std::wstring& path);

// Removes the folder's files and (unless marked as system folders) its subfolders, then the folder.
// True when the folder could be listed and its removal was tried: read-only files, open files and
// system subfolders stay behind, and so does the folder that holds them. A symbolic link inside is
// removed itself; its target is never entered.
bool removeDirectory(const std::string& folder);
bool removeDirectory(const std::wstring& folder);

// Creates the folder and its missing parents; true when it exists as a folder afterwards (or is
// "." or "..", or already exists).
bool makeDirectories(const std::string& folder);
bool makeDirectories(const std::wstring& folder);

// Whether a file or folder of that path exists.
bool fileExists(const std::string& path);
bool fileExists(const std::wstring& path);

// The last component of the path ("b" for "/a/b/"); empty when the path has no separator before
// its last character.
std::string fileName(const std::string& path);
std::wstring fileName(const std::wstring& path);

// Adds the hidden and system attributes.
bool hideFile(const std::string& path);
bool hideFile(const std::wstring& path);

// Creates the file, or cuts an existing one to zero length.
bool createEmptyFile(const std::string& path);
bool createEmptyFile(const std::wstring& path);

// Non-zero on success; an existing target makes the move fail.
Win32Api::BOOL moveFile(const std::string& from, const std::string& to);
Win32Api::BOOL moveFile(const std::wstring& from, const std::wstring& to);

// Without overwrite an existing target makes the copy fail and stays unchanged.
bool copyFile(const std::string& from, const std::string& to, bool overwrite);
bool copyFile(const std::wstring& from, const std::wstring& to, bool overwrite);

bool changeDirectory(const std::string& folder);
bool changeDirectory(const std::wstring& folder);

// The absolute path; empty when it cannot be formed or is longer than the platform's path buffer.
std::string fullPath(const std::string& path);
std::wstring fullPath(const std::wstring& path);

// The folder part of fullPath(path) with its trailing separator; a folder path that ends with a
// separator gives its parent folder.
std::string directoryOf(const std::string& path);
std::wstring directoryOf(const std::wstring& path);

// From the last '.' of fileName(path) to its end, or empty.
std::string extensionOf(const std::string& path);
std::wstring extensionOf(const std::wstring& path);

// The whole content of a file. False when it cannot be opened or read.
bool readFile(const std::string& path, std::string& content);
bool readFile(const std::wstring& path, std::string& content);

// Replaces the file's content. False when it cannot be opened or not every byte reached the file.
bool writeFile(const std::string& path, const std::string& content);
bool writeFile(const std::wstring& path, const std::string& content);
bool writeFile(const std::string& path, const char* data, std::size_t length);
bool writeFile(const std::wstring& path, const char* data, std::size_t length);
