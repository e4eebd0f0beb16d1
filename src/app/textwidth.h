#pragma once
// Width of a text as the report lists and the notice estimate count it: a wide character
// (Chinese, full-width punctuation, box drawing: East Asian Width W, F or A, as the lists' font
// draws them) 180 twips, any other 90. The lists draw in a monospaced CJK font whose wide glyphs
// are exactly twice the narrow ones, so this count is also what the screen shows.

#include <QString>

bool isWideChar(char32_t c);
int CharTwips(char32_t c);
int TextTwips(const QString& text);
