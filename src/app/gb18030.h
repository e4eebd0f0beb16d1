#pragma once
// GB18030 is a superset of GBK: every GBK character keeps its bytes and no character is lost.

#include <QByteArray>
#include <QString>

namespace Gb18030 {
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
} // namespace Gb18030
