#pragma once

#include "ComTypes.h"

// The header of a CF_HDROP block; the list of names follows at pFiles, each ending in a zero, the
// list ending in one more zero. fWide: the names are wide texts (wchar_t), else 8-bit texts.
struct DROPFILES {
    DWORD pFiles;
    LONG ptX;
    LONG ptY;
    BOOL fNC;
    BOOL fWide;
};

// ShellExecuteW results at or below this value are errors.
constexpr INT_PTR SE_ERR_LAST = 32;
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_OOM = 8;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

// DragQueryFileW: with index 0xFFFFFFFF the number of names; with a null buffer the length of
// name `index` in characters (without its zero); otherwise name `index` copied into the buffer,
// cut to cch - 1 characters and ended with a zero, and the number of characters copied.
// 0 for a handle that holds no drop list or an index beyond the list.
UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch);

// ShellExecuteW with the verb "open" (or none): starts the program `file` with its parameter text
// split into arguments as a Windows program's start-up splits its command line, in the working
// folder `directory`. A file name without a folder is looked for in that folder first, then on
// PATH. The program is started without a shell and not waited for: it is handed to the system's
// first process at once, so it never lingers as a child of the caller. Returns a value above 32 on
// success, else SE_ERR_FNF (no such program), SE_ERR_PNF (no such working folder),
// SE_ERR_ACCESSDENIED (not executable) or SE_ERR_NOASSOC (another verb).
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        int showCommand);
