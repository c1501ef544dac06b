// Owns the one font that every control of the main window uses.
#ifndef UPDATE_FONT_HOLDER_H
#define UPDATE_FONT_HOLDER_H

#include "platform/platform.h"

class FontHolder {
public:
    FontHolder();   // 23-pixel Shift-JIS "ＭＳ ゴシック", not yet created
    ~FontHolder();  // ReleaseFont

    // Releases any held font, then creates one from the description. 0 always;
    // a failed creation leaves no font held.
    int MakeFont();
    // Deletes the held font, if any. 0 always.
    int ReleaseFont();

    FontHandle font;
    FontDescription description;
};

// The control font. Defined by the executable beside the controls so that the
// construction order of the globals is fixed (font first, destroyed last).
extern FontHolder ControlFont;

#endif
