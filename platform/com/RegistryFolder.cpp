#include "RegistryFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WideText.h"

namespace
{

constexpr const char* kValuesFile = ".values";

const char* const kHex = "0123456789ABCDEF";

std::string escape(const std::string& bytes, bool asFolderName)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool special = c == '%' || c == '\t' || c == '\n' || c == '\r' || c == '/' ||
                             (asFolderName && i == 0 && c == '.');
        if (special) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += char(c);
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string hexOf(const std::vector<BYTE>& data)
{
    std::string out;
    for (const BYTE b : data) {
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

std::vector<BYTE> bytesOfHex(const std::string& text)
{
    std::vector<BYTE> out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(BYTE(hexDigit(text[i]) * 16 + hexDigit(text[i + 1])));
    return out;
}

bool isText(DWORD type)
{
    return type == 1 || type == 2; // REG_SZ, REG_EXPAND_SZ
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return names;
    while (dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == kValuesFile)
            continue;
        struct stat info;
        if (::stat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            names.push_back(name);
    }
    ::closedir(directory);
    return names;
}

wchar_t folded(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

} // namespace

bool RegistryFolder::sameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (folded(a[i]) != folded(b[i]))
            return false;
    }
    return true;
}

std::string RegistryFolder::encodeName(const std::wstring& name)
{
    return escape(WideText::toUtf8(name), true);
}

std::wstring RegistryFolder::decodeName(const std::string& name)
{
    return WideText::fromUtf8(unescape(name));
}

std::string RegistryFolder::child(const std::string& folder, const std::wstring& name)
{
    return folder + "/" + encodeName(name);
}

bool RegistryFolder::isKey(const std::string& folder)
{
    struct stat info;
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RegistryFolder::findChild(const std::string& folder, const std::wstring& name, std::string* found)
{
    for (const std::string& entry : entries(folder)) {
        if (sameName(decodeName(entry), name)) {
            *found = folder + "/" + entry;
            return true;
        }
    }
    return false;
}

LSTATUS RegistryFolder::makeKey(const std::string& folder)
{
    if (isKey(folder))
        return ERROR_SUCCESS;
    const std::size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const LSTATUS parent = makeKey(folder.substr(0, slash));
        if (parent != ERROR_SUCCESS)
            return parent;
    }
    return ::mkdir(folder.c_str(), 0755) == 0 || isKey(folder) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegistryFolder::makeChild(const std::string& folder, const std::wstring& name, std::string* made)
{
    if (name.empty() || WideText::toUtf8(name).empty())
        return ERROR_INVALID_PARAMETER;
    if (findChild(folder, name, made))
        return ERROR_SUCCESS;
    *made = child(folder, name);
    return ::mkdir(made->c_str(), 0755) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::vector<std::wstring> RegistryFolder::childNames(const std::vector<std::string>& folders)
{
    std::vector<std::wstring> names;
    for (const std::string& folder : folders) {
        for (const std::string& entry : entries(folder)) {
            const std::wstring name = decodeName(entry);
            const bool known = std::any_of(names.begin(), names.end(),
                                           [&](const std::wstring& other) { return sameName(other, name); });
            if (!known)
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<RegistryFolder::Value> RegistryFolder::values(const std::string& folder)
{
    std::vector<Value> result;
    std::ifstream file(folder + "/" + kValuesFile, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos)
            continue;
        Value value;
        value.name = WideText::fromUtf8(unescape(line.substr(0, first)));
        value.type = DWORD(std::strtoul(line.substr(first + 1, second - first - 1).c_str(), nullptr, 10));
        const std::string data = line.substr(second + 1);
        if (isText(value.type)) {
            const std::string text = unescape(data);
            value.data.assign(text.begin(), text.end());
        } else {
            value.data = bytesOfHex(data);
        }
        result.push_back(value);
    }
    return result;
}

bool RegistryFolder::findValue(const std::string& folder, const std::wstring& name, Value* value)
{
    for (const Value& candidate : values(folder)) {
        if (sameName(candidate.name, name)) {
            *value = candidate;
            return true;
        }
    }
    return false;
}

LSTATUS RegistryFolder::writeValues(const std::string& folder, const std::vector<Value>& values)
{
    const std::string path = folder + "/" + kValuesFile;
    if (values.empty())
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    std::ostringstream text;
    for (const Value& value : values) {
        const std::string data = isText(value.type)
                                     ? escape(std::string(value.data.begin(), value.data.end()), false)
                                     : hexOf(value.data);
        text << escape(WideText::toUtf8(value.name), false) << '\t' << value.type << '\t' << data << '\n';
    }
    // Written beside and renamed, so a key never holds half a file.
    const std::string partial = path + ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        if (!file)
            return ERROR_ACCESS_DENIED;
        file << text.str();
        if (!file.flush())
            return ERROR_ACCESS_DENIED;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegistryFolder::setValue(const std::string& folder, const Value& value)
{
    if (!isKey(folder))
        return ERROR_FILE_NOT_FOUND;
    std::vector<Value> all = values(folder);
    auto same =
        std::find_if(all.begin(), all.end(), [&](const Value& v) { return sameName(v.name, value.name); });
    if (same != all.end())
        *same = value;
    else
        all.push_back(value);
    return writeValues(folder, all);
}

LSTATUS RegistryFolder::removeValue(const std::string& folder, const std::wstring& name)
{
    std::vector<Value> all = values(folder);
    auto same = std::find_if(all.begin(), all.end(), [&](const Value& v) { return sameName(v.name, name); });
    if (same == all.end())
        return ERROR_FILE_NOT_FOUND;
    all.erase(same);
    return writeValues(folder, all);
}

LSTATUS RegistryFolder::removeTree(const std::string& folder)
{
    const LSTATUS cleared = clearKey(folder);
    if (cleared != ERROR_SUCCESS)
        return cleared;
    return ::rmdir(folder.c_str()) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LSTATUS RegistryFolder::clearKey(const std::string& folder)
{
    for (const std::string& entry : entries(folder)) {
        const LSTATUS status = removeTree(folder + "/" + entry);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return writeValues(folder, std::vector<Value>());
}
