// The patch's description, read once at start-up from update.ini.
#ifndef UPDATE_DESCRIPTION_H
#define UPDATE_DESCRIPTION_H

enum {
    NameFieldSize = 512,      // names and paths: at most 511 characters
    DisplayFieldSize = 1024,  // texts shown in the window and in boxes
    FileListCapacity = 256,   // entries of [AddFile] and of [DelFile]
};

struct UpdateDescriptionRecord {
    char Caption[NameFieldSize];
    char Comment0[DisplayFieldSize];
    char Comment1[DisplayFieldSize];
    char Attention1[DisplayFieldSize];
    char GameName[NameFieldSize];
    char RegistryKeyPath[NameFieldSize];  // "Software\..." below HKEY_CURRENT_USER
    int Width;
    int Height;
    char AddFiles[FileListCapacity][NameFieldSize];  // relative to the update folder
    int AddFileCount;
    char DelFiles[FileListCapacity][NameFieldSize];  // relative to the game folder
    int DelFileCount;
};

extern UpdateDescriptionRecord UpdateDescription;

// Reads update.ini from ProgramFolder into UpdateDescription. 0 when the whole
// file was read; 1 when it cannot be opened or a value fails its check, after
// the reason has been shown in a message box.
int LoadUpdateDescription();

// The box shown when update.ini cannot be opened (also used by start-up when the
// program's own folder cannot be told).
void ReportDescriptionOpenFailure();

// Every field empty, every number 0: the state before update.ini is read.
void ResetUpdateDescription();

// Rewrites each backslash + 'n' of a display text as a line feed, in place.
void ExpandLineBreaks(char* text);

#endif
