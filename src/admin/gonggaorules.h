#pragma once
// The ledger notice without its widgets: colours, the length and line estimate, the stored
// form and the statements.

#include <QString>

namespace GongGaoRules {

QString caption();                 // "公告板"
QString promptText();              // "请输入5行以内的公告内容："
QString tooLongText();             // "您输入的内容已经超过5行！"
QString buttonCaption(int button); // 0 publish, 1 back, 2 system default

// Colours as stored: 0x00BBGGRR, or a system colour with the high bit set.
constexpr int kOptionCount = 6;
QString optionCaption(int option);
int optionColour(int option);
constexpr int kButtonText = static_cast<int>(0x80000012u); // "黑色", -2147483630
constexpr int kWindowText = static_cast<int>(0x80000008u); // the box's colour before a choice
constexpr int kHintColour = 0xFF8080;                      // the entry hint's light blue

struct OleColour {
    bool system = false;
    int index = 0; // system colour number (COLOR_… of the desktop) when `system`
    int red = 0;
    int green = 0;
    int blue = 0;
};
OleColour decodeColour(int stored);

// The box holds line breaks as "\n"; the server holds them as CR LF, and the 255-character
// limit counts them as two.
constexpr int kMaxLength = 255;
int storedLength(const QString& boxText);
QString toStored(const QString& boxText);
QString fromStored(const QString& storedText);

// The estimate runs only from this many characters on; below it the warning keeps its state.
constexpr int kEstimateFrom = 8;
// Lines the text takes in the main window: each break one more, and a line wider than two
// label widths (5650 twips each) one more for every further width.
int lineEstimate(const QString& boxText);
constexpr int kMaxLines = 5;

QString encode(int colour, const QString& boxText);
QString publishStatement(const QString& zbid, int colour, const QString& boxText);
QString clearStatement(const QString& zbid);

QString connectFailed();

} // namespace GongGaoRules
