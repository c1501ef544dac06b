#include "author_tools/studio/studio_texts.h"

#include <windows.h>

namespace {

const wchar_t* const English[WordCount] = {
    L"update-studio: patch maker",
    L"Old game folder (selected)",
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
    L"Drop a folder from Explorer onto its field or the list, type it or press ...",
    L"The project could not be saved",
    L"Give the folders first: every old game folder, the new game folder and the patch folder.",
    L"Old versions of the game",
    L"Add",
    L"Remove",
    L"Its version name (--label)",
    L"Also carry whole files (--also-whole)",
    L"(drop, type or pick its folder)",
};

const wchar_t* const Japanese[WordCount] = {
    L"update-studio: パッチ作成",
    L"旧バージョンのフォルダ (選択中)",
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
    L"エクスプローラーからフォルダを欄か一覧にドロップするか、入力するか、... を押してください",
    L"プロジェクトを保存できませんでした",
    L"まずフォルダを指定してください: 旧バージョンのすべてのフォルダ、新バージョンのフォルダ、パッチのフォルダ。",
    L"ゲームの旧バージョン",
    L"追加",
    L"削除",
    L"そのバージョン名 (--label)",
    L"完全なファイルも入れる (--also-whole)",
    L"(フォルダをドロップ・入力・選択してください)",
};

}  // namespace

bool JapaneseSystem() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE || GetACP() == 932;
}

const wchar_t* Word(StudioWord word) {
    static const bool japanese = JapaneseSystem();
    return (japanese ? Japanese : English)[word];
}
