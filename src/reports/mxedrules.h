#pragma once
// The record editor without its window: the checks before a save, the record id formed from a
// picked time, the free-id search and the statements of a save, an edit and a delete.

#include <QSet>
#include <QString>
#include <QStringList>

namespace MxEdRules {

struct Input {
    QString item;
    QString change; // TxtSL
    QString remark; // TxtBZ
    QString itemWord;
    QString changeLabel; // the quantity label of the entry panel: SlName + "增减"
};

struct Checked {
    bool accepted = false;
    QString item;       // cleaned, hyphens joined: to be written back
    QString changeText; // "+5", "-0.5": to be written back
    double value = 0;
    QString remark;
    QString message;
    QString title;
};

// Both saves' checks. A change must be a plain signed decimal number: "1,000" or "5abc" are
// refused rather than read as 1 or 5.
Checked check(const Input& in);

// The picked time as far as the id needs it, and the hidden seconds and hundredths counters.
struct Stamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    int second = 0, hundredth = 0;
};
// Year letter, mmdd, then hundredths of a second since midnight in seven digits.
QString recordIdAt(const Stamp& s);
// The id one hundredth later: hundredths, seconds, minutes roll into the next; the hour stops
// at 23.
void step(Stamp& s);
// All ids of this day from `from` on, at most `limit`, in order.
QString takenIdsStatement(const QString& zbid, const QString& from, int limit);
inline constexpr int kTakenChunk = 100;

// NewRecIDAt: steps `s` past every id in use and returns the first free one; `runQuery`
// sends a statement and returns the ids it found, or false when it failed. Empty on failure.
using IdQuery = bool (*)(const QString& statement, QStringList* ids);
QString freeId(Stamp& s, const QString& zbid, IdQuery runQuery);

QString recordStatement(const QString& zbid, const QString& id);
QString insertStatement(const QString& zbid, const QString& usr, const QString& tm,
                        const QString& id, const Checked& c);
// The old version of an edited record, retired under the id of its replacement.
QString retireEdited(const QString& newId, const QString& zbid, const QString& stamp,
                     const QString& editId);

// "+5" for 5, "-2" for -2, as the change box shows a stored value.
QString changeTextOf(double value);

QString deletedMessage(const QString& journalCaption);
QString connectFailed();
// Shown in the editor over a record whose stored time cannot be read.
QString unreadableTime(const QString& stored);
QString savedText(const QString& changeText);
QString keepOpenCaption();

} // namespace MxEdRules
