#include "shell/font_holder.h"

#include <string.h>

FontHolder::FontHolder() : font(0) {
    memset(&description, 0, sizeof description);
    description.height = 23;
    description.weight = 400;   // FW_NORMAL
    description.charSet = 128;  // SHIFTJIS_CHARSET
    strcpy(description.faceName, ProgramFontFace);
}

FontHolder::~FontHolder() { ReleaseFont(); }

int FontHolder::MakeFont() {
    ReleaseFont();
    font = PlatformCreateFont(&description);
    return 0;
}

int FontHolder::ReleaseFont() {
    if (font) PlatformDeleteFont(font);
    font = 0;
    return 0;
}
