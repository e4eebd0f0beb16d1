#include "reports/likeclause.h"

namespace Like {

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size() + 4);
    for (const QChar c : text) {
        if (c == QLatin1Char(kEscape) || c == QLatin1Char('%') || c == QLatin1Char('_') ||
            c == QLatin1Char('['))
            out += QLatin1Char(kEscape);
        out += c;
    }
    return SqlStr(out);
}

QString containsClause(const QString& column, const QString& text, Db::Engine engine) {
    const QString op =
        engine == Db::Engine::Postgres ? QStringLiteral(" ilike '%") : QStringLiteral(" like '%");
    return column + op + escaped(text) + QStringLiteral("%' escape '") + QLatin1Char(kEscape) +
           QLatin1Char('\'');
}

} // namespace Like
