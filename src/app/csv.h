#pragma once
// Appending report lines to a CSV file that spreadsheet programs on Chinese desktops open
// directly: GB18030 text, CR LF line ends, the file's earlier content kept.

#include <QString>
#include <QStringList>

// `error`, when given, receives the file's own description of a failure.
bool appendCsvLines(const QString& path, const QStringList& lines, QString* error = nullptr);

// A shown report line with its cell separators turned into commas.
QString csvLineOf(const QString& shownLine);
