#pragma once

// Document compression level, handed from the main window to DocCompressCore and written as the
// compression tool's last argument. Any other value is treated as ClarityFirst.
enum CompressLevel : int {
    ClarityFirst = 0,
    Normal = 1,
    Smallest = 2,
};
