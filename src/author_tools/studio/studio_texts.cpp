#include "author_tools/studio/studio_texts.h"

#include <windows.h>

namespace {

const wchar_t* const English[WordCount] = {
    L"update-studio: patch maker",
    L"Old game folder",
    L"New game folder",
    L"Patch folder to make",
    L"...",
    L"Game name [GameName]",
    L"Registry path [RegPath]",
    L"Window title [Caption]",
    L"Width [Width]",
    L"Height [Height]",
    L"Upper text [Comment0]",
    L"Lower text [Comment1]",
    L"Warning [Attention1]",
    L"Open project...",
    L"Save project...",
    L"Check",
    L"Make",
    L"Cancel",
    L"Open patch folder",
    L"The player's window",
    L"Choose a folder",
    L"Making the patch...",
    L"Checking the patch...",
    L"Cancelled: nothing was written.",
    L"The patch was made.",
    L"The patch was not made.",
    L"Drop a folder from Explorer onto its field, type it or press ...",
    L"The project could not be saved",
    L"Give the three folders first.",
};

const wchar_t* const Japanese[WordCount] = {
    L"update-studio: パッチ作成",
    L"旧バージョンのフォルダ",
    L"新バージョンのフォルダ",
    L"作成するパッチのフォルダ",
    L"...",
    L"ゲーム名 [GameName]",
    L"レジストリパス [RegPath]",
    L"ウィンドウタイトル [Caption]",
    L"幅 [Width]",
    L"高さ [Height]",
    L"上の文 [Comment0]",
    L"下の文 [Comment1]",
    L"警告 [Attention1]",
    L"プロジェクトを開く...",
    L"プロジェクトを保存...",
    L"確認",
    L"作成",
    L"キャンセル",
    L"パッチのフォルダを開く",
    L"プレイヤーに見えるウィンドウ",
    L"フォルダを選んでください",
    L"パッチを作成しています...",
    L"パッチを確認しています...",
    L"キャンセルしました。何も書き込まれていません。",
    L"パッチを作成しました。",
    L"パッチは作成されませんでした。",
    L"エクスプローラーからフォルダを欄にドロップするか、入力するか、... を押してください",
    L"プロジェクトを保存できませんでした",
    L"まず三つのフォルダを指定してください。",
};

}  // namespace

bool JapaneseSystem() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE || GetACP() == 932;
}

const wchar_t* Word(StudioWord word) {
    static const bool japanese = JapaneseSystem();
    return (japanese ? Japanese : English)[word];
}
