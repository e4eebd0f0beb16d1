#pragma once
// Masking of the fixed connection values, so that they are never held in plain between uses.

#include <QString>

// Each character's code in GB18030 as a signed 16-bit value (a double-byte character is
// negative), shifted by -12, in reverse order. A four-byte character is two such codes.
QString MaskStr(const QString& text);
QString UnmaskStr(const QString& masked);
