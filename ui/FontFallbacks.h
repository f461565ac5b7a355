#pragma once

// The style sheets and forms name the Windows fonts "Microsoft YaHei" and "SimSun". Where a
// family is not installed, it is mapped to an installed Chinese font, so that Chinese texts never
// fall back to a font without their glyphs. Call once, after the QApplication exists.
void installFontFallbacks();
