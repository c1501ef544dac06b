#include "state/folders.h"

char ProgramFolder[ProgramFolderSize];
char GameFolder[GameFolderSize];
