// The code page 437 bitmap font, from the embedded resource the font tool makes.
#pragma once

#include "web/cell_painter.h"

// Loads the embedded font into `font`. False, leaving it empty, when the resource is missing
// or malformed.
bool loadFontResource(BitmapFont& font);
