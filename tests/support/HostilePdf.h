#pragma once

#include <QString>

// PDFs as a damaged or hostile producer writes them, made from PdfFactory's: pages of text and
// pictures (so that a rewrite is smaller) whose trees claim or loop where a sound file's do not.
class HostilePdf
{
public:
    // `pages` pages whose page tree claims `claimed` (its root's /Count).
    static bool writeClaimingPages(const QString& path, int pages, int claimed);
    // `pages` pages whose page tree lists its own root among its kids, after the pages.
    static bool writePageTreeLoop(const QString& path, int pages);
    // One page with a text field whose field tree loops: fields "a", "b" and "c" each list the other
    // two among their kids, their parents lead round in a circle, and b holds the widget and the
    // value "x". Copied level by level without a bound, the tree doubles at every level.
    static bool writeFormWithKidsLoop(const QString& path);
};
