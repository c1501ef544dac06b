// The window's words in Japanese and in English (UTF-16).
#ifndef UPDATE_STUDIO_TEXTS_H
#define UPDATE_STUDIO_TEXTS_H

enum StudioWord {
    WordTitle,
    WordOld,
    WordNew,
    WordPatch,
    WordBrowse,
    WordGameName,
    WordRegPath,
    WordCaption,
    WordWidth,
    WordHeight,
    WordComment0,
    WordComment1,
    WordAttention1,
    WordOpenProject,
    WordSaveProject,
    WordCheck,
    WordMake,
    WordCancel,
    WordOpenPatch,
    WordPreview,
    WordPickFolder,
    WordMaking,
    WordChecking,
    WordCancelled,
    WordMade,
    WordNotMade,
    WordDropHint,
    WordSaveFailed,
    WordFolderMissing,
    WordOldVersions,
    WordAddOld,
    WordRemoveOld,
    WordOldLabel,
    WordAlsoWhole,
    WordNoFolderYet,
    WordCount
};

// Japanese on a Japanese system (user interface language or code page 932).
bool JapaneseSystem();
const wchar_t* Word(StudioWord word);

#endif
