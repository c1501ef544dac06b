// The one definition of a Shift-JIS (code page 932) lead byte, for code that
// reads Shift-JIS without asking the system.
#ifndef UPDATE_TEXT_SHIFT_JIS_H
#define UPDATE_TEXT_SHIFT_JIS_H

// Whether a byte starts a double-byte character: 0x81-0x9F or 0xE0-0xFC.
inline bool IsShiftJisLeadByte(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

#endif
