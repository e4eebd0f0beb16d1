#pragma once
// GB18030 is a superset of GBK: every GBK character keeps its bytes and no character is lost.

#include <QByteArray>
#include <QString>

namespace Gb18030 {
QByteArray encode(const QString& text);
// Bytes that are no GB18030 are left out, or with `markInvalid` each becomes U+FFFD.
QString decode(const QByteArray& bytes, bool markInvalid = false);
} // namespace Gb18030
