#pragma once
// The batch import's reading side, without a window: the bytes of a file or a pasted range
// decoded, split into lines of cells, and the columns mapped from a header.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace Import {

// Limits said to the user before anything is read.
inline constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
inline constexpr int kMaxLines = 100000;
inline constexpr int kMaxColumns = 64;

struct Decoded {
    QString text;
    QString error; // not empty: the input is refused as a whole
};
// A BOM names the encoding (UTF-8, UTF-16); without one, valid UTF-8 is UTF-8 and anything else
// GB18030, as spreadsheet programs on Chinese desktops write. NUL bytes or many control
// characters mark a file that is no text.
Decoded decode(const QByteArray& bytes);
// Whether decoded or pasted text can be read at all: NUL characters or many control characters
// mark what is no text. Empty when it can.
QString textError(const QString& text);
// A cell holding bytes its encoding could not read (U+FFFD) or half of a surrogate pair.
bool unreadable(const QString& cell);

// Tab, comma or semicolon: the one that splits the first lines into the same number of cells,
// the most of them.
QChar detectSeparator(const QString& text);

// "第12行：" + what.
QString lineError(int line, const QString& what);
// A cell as header words are compared: half-width, no blanks, no closing colon, lower case.
QString headerKey(const QString& cell);

struct Record {
    int line = 0; // the line of the input it starts on, from 1
    QStringList cells;
    QString error;
};

// Quoted cells may hold separators, line breaks and doubled quotes. One record per call, so a
// long input can be split in steps.
class Splitter {
public:
    Splitter(const QString& text, QChar separator);
    bool atEnd() const { return pos_ >= text_.size(); }
    Record next();
    qsizetype position() const { return pos_; }

private:
    void endCell(Record& r, QString& cell, qsizetype& count, bool& overflow) const;
    QString text_;
    QChar sep_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

enum class Field { Item, Change, Increase, Decrease, Remark, Time, Operator, Skip };
inline constexpr int kFieldCount = 8;
// The mapping drop-downs' items, in Field order.
QStringList fieldCaptions(const QString& itemWord);

struct Words {
    QString itemWord; // the ledger's word for an item
    QString slWord;   // and for the quantity
};

// The header's cells as fields; a quantity word becomes the change unless the header has
// increase or decrease columns, where it is a running balance (the journal's own export).
QVector<Field> headerMapping(const QStringList& cells, const Words& words);
// How many cells are words a header uses.
int headerWords(const QStringList& cells, const Words& words);
// Without a header: item, change, remark.
QVector<Field> defaultMapping(int columns);
// Empty when the mapping can be imported; otherwise what is missing or doubled.
QString mappingError(const QVector<Field>& mapping, const QString& itemWord);

// What was read, before the mapping is applied.
struct Sheet {
    QVector<Record> records; // blank lines and header lines left out
    QStringList header;      // empty when the input has none
    QVector<Field> mapping;  // one per column
    int columns = 0;
};

// Reads a whole input in steps: decode in the constructor, `step` splits some records.
class Reader {
public:
    Reader(const QByteArray& bytes, const Words& words);
    Reader(const QString& text, const Words& words);
    const QString& error() const { return error_; }
    bool done() const { return !error_.isEmpty() || !splitter_ || splitter_->atEnd(); }
    void step(int records);
    int percent() const;
    // The records once done: the header recognised and mapped.
    Sheet take();

private:
    void start(const QString& text);
    Words words_;
    QString error_;
    QString text_;
    std::unique_ptr<Splitter> splitter_;
    Sheet sheet_;
};
// The whole input at once.
Sheet read(const QByteArray& bytes, const Words& words, QString* error);

// Texts of the reading side.
QString emptyInput();
QString notText();
QString tooLarge();
QString tooManyLines();
QString emptyClipboard();
QString cannotRead(const QString& reason);
QString unreadableText();
QString startHint();

} // namespace Import
