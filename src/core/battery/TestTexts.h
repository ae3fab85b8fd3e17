// Texts several listening tests show the same way: the round's
// announcements, the end of a test, and the refusals they share. The roll
// back's own texts are in RollBack.h.
#pragma once

namespace kestrune {

inline constexpr const char* kListenText =
    "まじめでオーディオを聞いてください。それから右にある適当なボタンを選んでください! "
    "今始めましょう! ";
inline constexpr const char* kChooseText = "右にある適当なボタンを選んでください!";
inline constexpr const char* kNewAudioText =
    "新しいオーディオですが、まじめで聞いて下さい。 それから 適当なボタンを選んでください!";
inline constexpr const char* kThanksText =
    "テストを終わりました。　どうも　ありがとうございました！";
inline constexpr const char* kThanksMessage =
    "テストを終わりました。\nどうも　ありがとうございました！";
inline constexpr const char* kCloseText = "テストを終わりました。「終了」ボタンを押して下さい!";
inline constexpr const char* kMaskedMissingMessage =
    "Invalid path or file name!\nMasked wave file can not be opened!";
inline constexpr const char* kMaskingMissingMessage =
    "Invalid path or file name!\nMasking wave file can not be opened!";
inline constexpr const char* kReadResultFailedMessage = "Read test result error!";
inline constexpr const char* kCannotRollBackNowMessage = "Can not rollback now!";

}  // namespace kestrune
