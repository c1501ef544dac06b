// Loads each library named on its command line by name alone, with the
// system's default search, as a program that does not restrict it would.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) LoadLibraryW(argv[i]);
    return 0;
}
