// Which encoding a text file was saved in, where the tools must tell an author
// that the program reads Shift-JIS only.
#ifndef UPDATE_CHECK_ENCODING_GUESS_H
#define UPDATE_CHECK_ENCODING_GUESS_H

#include <string>

// True for a text with a UTF-8 byte order mark, or one that is valid UTF-8
// with characters beyond ASCII and cannot be read as Shift-JIS text: any
// three- or four-byte UTF-8 character (Japanese in UTF-8 is made of them, and
// Shift-JIS text practically never forms them), or two-byte ones that are no
// valid Shift-JIS. Shift-JIS text with kana or kanji is never valid UTF-8.
bool LooksLikeUtf8(const std::string& bytes);

#endif
