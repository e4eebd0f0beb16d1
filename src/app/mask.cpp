#include "app/mask.h"

#include "app/gb18030.h"

#include <cstdint>
#include <vector>

namespace {

// Splits GB18030 bytes into 16-bit codes: an ASCII byte alone, a lead byte with its follower.
std::vector<int16_t> codesOf(const QString& text) {
    const QByteArray bytes = Gb18030::encode(text);
    std::vector<int16_t> codes;
    for (int i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80 || i + 1 >= bytes.size()) {
            codes.push_back(static_cast<int16_t>(b));
        } else {
            const auto next = static_cast<uint8_t>(bytes[++i]);
            codes.push_back(static_cast<int16_t>(static_cast<uint16_t>((b << 8) | next)));
        }
    }
    return codes;
}

QString textOf(const std::vector<int16_t>& codes) {
    QString ascii;
    for (int16_t code : codes) {
        if (code < 0 || code >= 0x80)
            break;
        ascii.append(QLatin1Char(static_cast<char>(code)));
    }
    if (ascii.size() == static_cast<qsizetype>(codes.size()))
        return ascii; // the common case needs no character set conversion
    QByteArray bytes;
    for (int16_t code : codes) {
        const auto u = static_cast<uint16_t>(code);
        if (code >= 0 && code < 0x100) {
            bytes.append(static_cast<char>(u));
        } else {
            bytes.append(static_cast<char>(u >> 8));
            bytes.append(static_cast<char>(u & 0xFF));
        }
    }
    return Gb18030::decode(bytes);
}

QString shifted(const std::vector<int16_t>& codes, int delta) {
    QString out;
    for (int16_t code : codes) {
        const int value = code + delta;
        if (value < INT16_MIN || value > INT16_MAX)
            return {}; // overflow: cannot happen for real GB18030 codes
        out.prepend(QChar(static_cast<char16_t>(static_cast<int16_t>(value))));
    }
    return out;
}

} // namespace

QString MaskStr(const QString& text) {
    return shifted(codesOf(text), -12);
}

QString UnmaskStr(const QString& masked) {
    std::vector<int16_t> codes;
    codes.reserve(static_cast<size_t>(masked.size()));
    for (auto c = masked.crbegin(); c != masked.crend(); ++c)
        codes.push_back(static_cast<int16_t>(c->unicode() + 12));
    return textOf(codes);
}
