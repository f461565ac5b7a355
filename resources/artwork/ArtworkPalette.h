#pragma once

#include <QColor>

// The colours of the window pictures; the blue is the style sheets' accent.
namespace ArtworkPalette
{
inline const QColor blue(0x34, 0x7A, 0xEB);
// Folded page corners and the far mountain: the blue lightened towards white.
inline const QColor blueSoft(0x9C, 0xBF, 0xF5);
// The list's hover colour, rgba(228,237,252): backdrops and hovered button faces.
inline const QColor tint(0xE4, 0xED, 0xFC);
// Faces of the title-bar buttons and the checked mode button.
inline const QColor wash(0xF0, 0xF5, 0xFE);
inline const QColor glyphGrey(0x5C, 0x5C, 0x5C);
inline const QColor ringGrey(0xA8, 0xA8, 0xA8);
inline const QColor lineGrey(0xD8, 0xD8, 0xD8);
} // namespace ArtworkPalette
