#pragma once

#include <QString>

// The five kinds of file the program compresses. Every per-kind group (the window's pages, path
// queues, lists and options, and the arrays of the history file) is indexed in this order.
namespace Kind
{
enum Index : int {
    Video = 0,
    Image = 1,
    PowerPoint = 2,
    Pdf = 3,
    Word = 4,
};

constexpr int Count = 5;

// Whether `kind` names one of the five kinds.
constexpr bool isKind(int kind)
{
    return kind >= 0 && kind < Count;
}

// The kind's array in the history file ("video", "image", "ppt", "pdf", "word"); empty for a number
// that names no kind.
QString historyKey(int kind);
} // namespace Kind
