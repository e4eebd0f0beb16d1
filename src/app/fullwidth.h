#pragma once
// Text typed with the input method in full-width mode: "１０" reads as "10", "－５" as "-5".

#include <QString>

namespace FullWidth {

// Every full-width form of an ASCII character (U+FF01..U+FF5E) as that character, and the
// ideographic space (U+3000) as a blank.
QString toHalfWidth(const QString& text);

// The number a quantity box begins with, in ASCII: the blanks before it, its sign, its digits
// and decimal points, a comma or "。" between two digits ("１，０００" is "1,000", "１０。５" is
// "10.5"), and the blanks after it. What follows (a remark) stays as typed.
QString numberToAscii(const QString& text);

} // namespace FullWidth
