#include "app/gb18030.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Opening a converter loads the character set tables: keep one per direction and thread.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return cd_;
    }

private:
    iconv_t cd_;
};

// `invalid`, when not empty, stands in the output for each byte that cannot be converted.
QByteArray convert(Converter& converter, const QByteArray& in, const QByteArray& invalid = {}) {
    if (!converter.valid())
        return {};
    iconv_t cd = converter.handle();
    QByteArray out(in.size() * std::max<qsizetype>(4, invalid.size()) + 16, Qt::Uninitialized);
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
        if (!invalid.isEmpty() && dstLeft >= static_cast<size_t>(invalid.size())) {
            std::memcpy(dst, invalid.constData(), static_cast<size_t>(invalid.size()));
            dst += invalid.size();
            dstLeft -= static_cast<size_t>(invalid.size());
        }
    }
    out.truncate(out.size() - static_cast<int>(dstLeft));
    return out;
}

} // namespace

namespace Gb18030 {

QByteArray encode(const QString& text) {
    thread_local Converter toGb("GB18030", "UTF-8");
    return convert(toGb, text.toUtf8());
}

QString decode(const QByteArray& bytes, bool markInvalid) {
    thread_local Converter fromGb("UTF-8", "GB18030");
    return QString::fromUtf8(
        convert(fromGb, bytes, markInvalid ? QByteArray("\xEF\xBF\xBD") : QByteArray()));
}

} // namespace Gb18030
