#pragma once
// Opening the detail journal from another report for one item and one period, and the export
// steps the summary table and the balance list share.

#include <QStringList>

class LedgerSession;
class QWidget;

namespace DrillDown {

// What a double click asks of the journal: the row's full item and the period's start and
// end as the five picker texts each.
struct JournalRequest {
    QString item;
    QStringList from;
    QStringList to;
};

// Opens the journal for the request's item and period, lists it and waits until it is closed.
void openJournal(LedgerSession& session, QWidget* parent, const JournalRequest& request);

// Asks for a file named after `caption`, appends `lines` and offers to open the file. A failure
// shows its own text under "导出失败".
void exportLines(const QString& caption, const QStringList& lines);

} // namespace DrillDown
