// copy_probe SOURCE DESTINATION: one call of the platform's file copy, for the
// scripts that check it on volumes and folders a test cannot make from inside
// Wine (a small tmpfs, a folder the Wine user may not write). Prints
// "copy: 0" or "copy: 1 error N" and exits with the copy's result.
#include <windows.h>

#include <stdio.h>

#include "platform/platform.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fputs("usage: copy_probe SOURCE DESTINATION\n", stderr);
        return 2;
    }
    char source[1024], destination[1024];
    if (!WideCharToMultiByte(932, 0, argv[1], -1, source, sizeof source, NULL, NULL) ||
        !WideCharToMultiByte(932, 0, argv[2], -1, destination, sizeof destination, NULL, NULL))
        return 2;
    int result = PlatformCopyFile(source, destination);
    if (result == 0) printf("copy: 0\n");
    else printf("copy: 1 error %lu\n", (unsigned long)GetLastError());
    return result;
}
