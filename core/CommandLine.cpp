#include "CommandLine.h"

#include "Win32Api.h"

namespace
{

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

char** splitCommandLine(const std::string& commandLine, int* count)
{
    if (count)
        *count = 0;
    const std::size_t length = commandLine.size();
    // Every argument but the last needs a separator after it, so there are at most
    // (length + 1) / 2 of them; the characters and their terminating zeros take at most
    // length + 1 bytes.
    const std::size_t slots = (length + 2) / 2 + 1;
    const std::size_t tableBytes = slots * sizeof(char*);
    const std::size_t characterBytes = length + 2;
    void* block =
        Win32Api::GlobalAlloc(Win32Api::kGmemFixed | Win32Api::kGmemZeroInit, tableBytes + characterBytes);
    if (!block)
        return nullptr;
    char** table = static_cast<char**>(block);
    char* characters = static_cast<char*>(block) + tableBytes;

    std::size_t arguments = 0;
    std::size_t written = 0;
    bool open = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                characters[written++] = c;
            continue;
        }
        if (isSeparator(c)) {
            if (open) {
                characters[written++] = '\0';
                open = false;
            }
            continue;
        }
        if (!open) {
            table[arguments++] = characters + written;
            open = true;
        }
        if (c == '"')
            quoted = true;
        else
            characters[written++] = c;
    }
    if (open)
        characters[written++] = '\0';
    table[arguments] = nullptr;
    if (count)
        *count = static_cast<int>(arguments);
    return table;
}
