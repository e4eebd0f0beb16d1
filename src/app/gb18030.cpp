#include "app/gb18030.h"

#include <iconv.h>

#include <cerrno>

namespace {

QByteArray convert(const char* to, const char* from, const QByteArray& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen with four bytes out per byte in
        // An invalid or cut-off sequence: skip one byte and go on.
        ++src;
        --srcLeft;
    }
    out.truncate(out.size() - static_cast<int>(dstLeft));
    iconv_close(cd);
    return out;
}

} // namespace

namespace Gb18030 {

QByteArray encode(const QString& text) {
    return convert("GB18030", "UTF-8", text.toUtf8());
}

QString decode(const QByteArray& bytes) {
    return QString::fromUtf8(convert("UTF-8", "GB18030", bytes));
}

} // namespace Gb18030
