#include "admin/rights.h"

namespace Rights {

QString readWord(const QString& stored) {
    QString word = stored;
    while (word.size() < 16)
        word += QLatin1Char('1');
    return word;
}

bool has(const QString& word, int n) {
    return n >= 1 && n <= word.size() && word.at(n - 1) == QLatin1Char('1');
}

QString refusal() {
    return QStringLiteral("对不起，您无此权限！");
}

} // namespace Rights
