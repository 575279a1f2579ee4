// TEMPORARY until the font resource lands: a blank 8 x 16 font.
#include "web/font_resource.h"

bool loadFontResource(BitmapFont& font) {
    return font.create(8, 16);
}
