#pragma once
// Rules of the entry panel: shaping the typed text, splitting number and remark, the record ID,
// the checks before an entry is stored, and the statements it sends.

#include <QString>
#include <QTime>

namespace Entry {

// "5" becomes "+5", ".5" becomes "+0.5"; any other first character leaves the text as it is.
QString shapeText(const QString& text);

// The entry box after a keystroke: its number in ASCII (FullWidth::numberToAscii), then
// shaped. The caret stays where it was through a conversion alone and goes to the end when
// the text was shaped.
struct Typed {
    QString text;
    int cursor = 0;
};
Typed shapeTyped(const QString& text, int cursor);

// " -" and "- " become "-", as often as they occur.
QString joinDashes(QString text);

struct Split {
    QString numberText;  // as typed: "+1.2.3", "+1,000"
    double quantity = 0; // its leading number: 1.2, 1000
    QString remark;
    bool readable = true; // false for digits grouped otherwise than by three: "+1,00"
};
Split splitText(const QString& cleanedText);

// The value of the longest leading decimal number of `text` ("+1.2.3" reads 1.2); infinite
// when the number is too large for a double.
double leadingNumber(const QString& text);

// yyyy-mm-dd server date and local time of day: "N1206" + hundredths of a second since midnight.
QString NewRecID(const QString& srvDate, const QTime& localTime);

struct Input {
    QString item;
    QString text;
    QString qx;
    QString itemName;
    QString slName;
    QString lab2Caption; // SlName + "增减"
};

struct Decision {
    bool accepted = false;
    bool cleaned = false; // item and text below are to be written back to the controls
    QString item;
    QString text;
    QString message;
    QString title;
    Split split;
};

// Everything SaveEntry decides before it talks to the server.
Decision check(const Input& in);

QString insertStatement(const QString& zbid, const QString& usr, const QString& tm,
                        const QString& id, const QString& item, double quantity,
                        const QString& remark);
// The row an entry becomes, and the id it was stored under once saved.
struct Row {
    QString zbid, usr, date, item, remark;
    QTime time;
    double quantity = 0;
};
// Stores `row` in Zhang: TM from the server date and the local time, ID from NewRecID. When the
// insert fails because another client took that id in the same hundredth of a second, the next
// free id (a hundredth later, or the first free one after it) is tried, a few times at most. "OK"
// or "" as RunSql; `storedId` gets the id used.
QString saveRow(const Row& row, QString* storedId = nullptr);
// The same with the time `tm` and the first id to try given (a late record's own time).
QString insertRow(const Row& row, const QString& tm, QString id, QString* storedId = nullptr);
// The id `step` hundredths of a second after `id`, same day.
QString nextRecID(const QString& id, int step = 1);

QString itemListStatement(const QString& zbid);
QString itemSumStatement(const QString& zbid, const QString& item);

// Texts of the quantity hint and the saved notice.
QString currentQuantityText(const QString& slName, const QString& number);
QString clickToSeeText(const QString& slName);
QString newItemText(const QString& itemName);
QString savedText(const QString& numberText);
QString stopShowingCaption(const QString& slName);
QString autoShowCaption(const QString& slName);
QString seeItemCaption(const QString& item, const QString& slName);
QString connectFailedRetry();

} // namespace Entry
