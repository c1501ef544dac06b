#include "description/update_description.h"

#include <string.h>

#include "text/text.h"

UpdateDescriptionRecord UpdateDescription;

void ResetUpdateDescription() { memset(&UpdateDescription, 0, sizeof UpdateDescription); }

void ExpandLineBreaks(char* text) {
    // Each rewrite starts the search again from the start of the text. The second
    // byte of a double-byte character is never taken for the backslash.
    for (;;) {
        char* escape = 0;
        for (char* p = text; *p; p += CharacterLength(p)) {
            if (p[0] == '\\' && p[1] == 'n') {
                escape = p;
                break;
            }
        }
        if (!escape) return;
        escape[0] = '\n';
        memmove(escape + 1, escape + 2, strlen(escape + 2) + 1);
    }
}
