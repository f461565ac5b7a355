#pragma once

class QWidget;

// Scales the pixel sizes that a generated form gave its widgets by the display factor (scalePixels):
// the form's own size, every widget's minimum and maximum size, and the geometry of every widget that
// sits in its parent without a layout. Layout margins, spacings and spacer hints are left alone, and so
// are 0, negative values (a geometry at -1 stays at -1) and the unbounded 16777215.
//
// Call it right after setupUi, while the form holds only its own widgets: rows and dialogs added later
// carry forms of their own and are scaled by their own call.
void scaleFormPixels(QWidget* form);
