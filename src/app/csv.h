#pragma once
// Appending report lines to a CSV file that spreadsheet programs on Chinese desktops open
// directly: GB18030 text, CR LF line ends, the file's earlier content kept.

#include <QString>
#include <QStringList>

bool appendCsvLines(const QString& path, const QStringList& lines);

// A shown report line with its cell separators turned into commas.
QString csvLineOf(const QString& shownLine);
