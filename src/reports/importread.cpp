#include "reports/importread.h"

#include "app/fullwidth.h"
#include "app/gb18030.h"
#include "reports/importforms.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>

namespace Import {

namespace {

const QChar kQuote = QLatin1Char('"');

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f' && u != 0x1A;
}

} // namespace

QString lineError(int line, const QString& what) {
    return QStringLiteral("第%1行：").arg(line) + what;
}

QString headerKey(const QString& cell) {
    QString s = FullWidth::toHalfWidth(cell).toLower();
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('\t'));
    while (s.endsWith(QLatin1Char(':')))
        s.chop(1);
    return s;
}

namespace {

// What a header word says; Balance is a running quantity column.
enum class Word { None, Item, Change, Increase, Decrease, Remark, Time, Operator, Balance };

Word wordOf(const QString& cell, const Words& words) {
    static const QHash<QString, Word> table = [] {
        QHash<QString, Word> t;
        const auto add = [&t](Word w, std::initializer_list<const char*> keys) {
            for (const char* k : keys)
                t.insert(headerKey(QString::fromUtf8(k)), w);
        };
        add(Word::Item, {"物品", "账户", "客户", "项目", "名称", "品名", "商品", "货品", "物品名称",
                         "商品名称", "客户名称", "账户名称", "项目名称", "item", "name"});
        add(Word::Change,
            {"增减", "数量", "金额", "变动", "数值", "增减数", "存量增减", "余额增减", "quantity"});
        add(Word::Increase, {"增加", "入库", "收入", "增加数"});
        add(Word::Decrease, {"减少", "出库", "支出", "减少数"});
        add(Word::Remark, {"备注", "说明", "摘要", "remark", "note"});
        add(Word::Time, {"时间", "日期", "记账时间", "日期时间", "time", "date"});
        add(Word::Operator, {"操作员", "经手人", "记账人", "operator"});
        add(Word::Balance, {"存量", "余额", "应收款", "数额", "库存", "balance"});
        return t;
    }();
    const QString key = headerKey(cell);
    if (key.isEmpty())
        return Word::None;
    if (key == headerKey(words.itemWord))
        return Word::Item;
    if (key == headerKey(words.slWord))
        return Word::Balance;
    if (key == headerKey(words.slWord + QStringLiteral("增减")))
        return Word::Change;
    return table.value(key, Word::None);
}

Field fieldOf(Word w) {
    switch (w) {
    case Word::Item:
        return Field::Item;
    case Word::Change:
        return Field::Change;
    case Word::Increase:
        return Field::Increase;
    case Word::Decrease:
        return Field::Decrease;
    case Word::Remark:
        return Field::Remark;
    case Word::Time:
        return Field::Time;
    case Word::Operator:
        return Field::Operator;
    default:
        return Field::Skip;
    }
}

bool anyNumber(const QStringList& cells) {
    double v = 0;
    for (const QString& c : cells)
        if (readNumber(c, &v) == NumberForm::Ok)
            return true;
    return false;
}

// The first line is a header only when its cells are column words: two of them at least, or
// every filled cell, and no number. Anything else is a line like the others: a first line whose
// quantity is mistyped must show its error, not vanish as a heading.
bool isHeader(const QVector<Record>& records, const Words& words) {
    if (records.isEmpty() || !records.first().error.isEmpty())
        return false;
    const QStringList& first = records.first().cells;
    if (anyNumber(first))
        return false;
    const int said = headerWords(first, words);
    qsizetype filled = 0;
    for (const QString& c : first)
        filled += c.trimmed().isEmpty() ? 0 : 1;
    return said >= 2 || (said == 1 && filled == 1);
}

bool isBlank(const Record& r) {
    if (!r.error.isEmpty())
        return false;
    for (const QString& c : r.cells)
        if (!c.trimmed().isEmpty())
            return false;
    return true;
}

bool hasDigit(const QStringList& cells) {
    for (const QString& c : cells)
        for (QChar ch : c)
            if ((ch >= u'0' && ch <= u'9') || (ch >= u'\uFF10' && ch <= u'\uFF19'))
                return true;
    return false;
}

} // namespace

Decoded decode(const QByteArray& bytes) {
    Decoded d;
    if (bytes.isEmpty()) {
        d.error = emptyInput();
        return d;
    }
    // Bytes the encoding cannot read become U+FFFD, which marks their line as an error.
    const auto bom = QStringConverter::encodingForData(bytes);
    if (bom) {
        QStringDecoder decoder(*bom);
        d.text = decoder(bytes);
    } else if (bytes.contains('\0')) {
        d.error = notText();
        return d;
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8);
        d.text = utf8(bytes);
        if (utf8.hasError())
            d.text = Gb18030::decode(bytes, true);
    }
    d.error = textError(d.text);
    return d;
}

QString textError(const QString& text) {
    qsizetype controls = 0;
    for (QChar c : text)
        controls += isControl(c) ? 1 : 0;
    if (controls * 100 > text.size() || text.contains(QChar(0)))
        return notText();
    if (text.trimmed().isEmpty())
        return emptyInput();
    return {};
}

bool unreadable(const QString& cell) {
    const qsizetype n = cell.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = cell.at(i);
        if (c == QChar::ReplacementCharacter || c.isLowSurrogate())
            return true;
        if (c.isHighSurrogate()) {
            if (i + 1 >= n || !cell.at(i + 1).isLowSurrogate())
                return true;
            ++i;
        }
    }
    return false;
}

QChar detectSeparator(const QString& text) {
    const QChar candidates[3] = {QLatin1Char('\t'), QLatin1Char(','), QLatin1Char(';')};
    QVector<int> counts[3];
    qsizetype at = 0;
    for (int lines = 0; lines < 20 && at < text.size(); ++lines) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(at, end - at);
        at = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        for (int k = 0; k < 3; ++k) {
            int n = 0;
            bool quoted = false;
            for (QChar c : line) {
                quoted = c == kQuote ? !quoted : quoted;
                n += !quoted && c == candidates[k] ? 1 : 0;
            }
            counts[k].append(n);
        }
    }
    // Even counts over the lines beat a larger but uneven total; the order breaks ties.
    int best = 1;
    long bestScore = -1;
    for (int k = 0; k < 3; ++k) {
        long total = 0;
        bool even = !counts[k].isEmpty();
        for (int n : counts[k]) {
            total += n;
            even = even && n == counts[k].first() && n > 0;
        }
        const long score = (even ? 1000000L : 0L) + total;
        if (total > 0 && score > bestScore) {
            best = k;
            bestScore = score;
        }
    }
    return candidates[best];
}

Splitter::Splitter(const QString& text, QChar separator) : text_(text), sep_(separator) {}

void Splitter::endCell(Record& r, QString& cell, qsizetype& count, bool& overflow) const {
    // A spreadsheet's used range may run past the last filled column: empty cells there are
    // nothing to refuse.
    if (++count <= kMaxColumns)
        r.cells.append(cell);
    else
        overflow = overflow || !cell.trimmed().isEmpty();
    cell.clear();
}

Record Splitter::next() {
    Record r;
    r.line = line_;
    QString cell;
    qsizetype count = 0;
    bool overflow = false;
    const qsizetype n = text_.size();
    while (pos_ < n) {
        const QChar c = text_.at(pos_);
        if (c == kQuote && cell.isEmpty()) {
            // A quoted cell: up to the quote that is not doubled.
            qsizetype i = pos_ + 1;
            bool closed = false;
            while (i < n) {
                const QChar q = text_.at(i);
                if (q == kQuote && i + 1 < n && text_.at(i + 1) == kQuote) {
                    cell += kQuote;
                    i += 2;
                } else if (q == kQuote) {
                    closed = true;
                    ++i;
                    break;
                } else {
                    line_ += q == QLatin1Char('\n') ? 1 : 0;
                    cell += q;
                    ++i;
                }
            }
            pos_ = i;
            if (!closed) {
                r.error = lineError(r.line, QStringLiteral("引号没有配对"));
                break;
            }
            continue;
        }
        qsizetype end = pos_;
        while (end < n && text_.at(end) != sep_ && text_.at(end) != QLatin1Char('\n') &&
               text_.at(end) != QLatin1Char('\r'))
            ++end;
        cell += QStringView(text_).mid(pos_, end - pos_);
        pos_ = end;
        if (pos_ >= n)
            break;
        const QChar stop = text_.at(pos_++);
        if (stop == sep_) {
            endCell(r, cell, count, overflow);
            continue;
        }
        if (stop == QLatin1Char('\r') && pos_ < n && text_.at(pos_) == QLatin1Char('\n'))
            ++pos_;
        ++line_;
        break;
    }
    endCell(r, cell, count, overflow);
    if (overflow && r.error.isEmpty())
        r.error = lineError(r.line, QStringLiteral("超过%1列").arg(kMaxColumns));
    if (r.error.isEmpty() && std::any_of(r.cells.cbegin(), r.cells.cend(), unreadable))
        r.error = lineError(r.line, unreadableText());
    return r;
}

QStringList fieldCaptions(const QString& itemWord) {
    return {itemWord,
            QStringLiteral("增减"),
            QStringLiteral("增加"),
            QStringLiteral("减少"),
            QStringLiteral("备注"),
            QStringLiteral("时间"),
            QStringLiteral("操作员"),
            QStringLiteral("(不导入)")};
}

int headerWords(const QStringList& cells, const Words& words) {
    int n = 0;
    for (const QString& c : cells)
        n += wordOf(c, words) != Word::None ? 1 : 0;
    return n;
}

QVector<Field> headerMapping(const QStringList& cells, const Words& words) {
    QVector<Word> said;
    bool directions = false;
    for (const QString& c : cells) {
        said.append(wordOf(c, words));
        directions = directions || said.last() == Word::Increase || said.last() == Word::Decrease;
    }
    QVector<Field> out;
    QVector<bool> used(kFieldCount, false);
    for (Word w : said) {
        Field f = w == Word::Balance ? (directions ? Field::Skip : Field::Change) : fieldOf(w);
        // A second column of the same kind is left out rather than guessed at.
        if (f != Field::Skip && used[static_cast<int>(f)])
            f = Field::Skip;
        used[static_cast<int>(f)] = true;
        out.append(f);
    }
    // The journal's export names its item column with the exporting ledger's own word.
    const QVector<Word> journal = {Word::Operator, Word::Time, Word::None, Word::Increase,
                                   Word::Decrease};
    if (!used[static_cast<int>(Field::Item)] && said.mid(0, 5) == journal)
        out[2] = Field::Item;
    return out;
}

QVector<Field> defaultMapping(int columns) {
    QVector<Field> out(columns, Field::Skip);
    const Field first[3] = {Field::Item, Field::Change, Field::Remark};
    for (int i = 0; i < std::min(columns, 3); ++i)
        out[i] = first[i];
    return out;
}

QString mappingError(const QVector<Field>& mapping, const QString& itemWord) {
    const QStringList captions = fieldCaptions(itemWord);
    QVector<int> uses(kFieldCount, 0);
    for (Field f : mapping)
        ++uses[static_cast<int>(f)];
    for (int f = 0; f < kFieldCount - 1; ++f)
        if (uses[f] > 1)
            return QStringLiteral("“") + captions.at(f) + QStringLiteral("”只能选一列");
    if (uses[static_cast<int>(Field::Item)] == 0)
        return QStringLiteral("请在上面选择") + itemWord + QStringLiteral("所在的列");
    if (uses[static_cast<int>(Field::Change)] + uses[static_cast<int>(Field::Increase)] +
            uses[static_cast<int>(Field::Decrease)] ==
        0)
        return QStringLiteral("请在上面选择增减（或增加、减少）所在的列");
    return {};
}

Reader::Reader(const QByteArray& bytes, const Words& words) : words_(words) {
    if (bytes.size() > kMaxBytes) {
        error_ = tooLarge();
        return;
    }
    Decoded d = decode(bytes);
    error_ = d.error;
    if (error_.isEmpty())
        start(d.text);
}

Reader::Reader(const QString& text, const Words& words) : words_(words) {
    if (text.size() > kMaxBytes)
        error_ = tooLarge();
    else
        error_ = textError(text);
    if (error_.isEmpty())
        start(text);
}

void Reader::start(const QString& text) {
    text_ = text;
    splitter_ = std::make_unique<Splitter>(text_, detectSeparator(text_));
}

void Reader::step(int records) {
    for (int i = 0; i < records && !done(); ++i) {
        Record r = splitter_->next();
        if (isBlank(r))
            continue;
        // One more than the limit: the first line may be a header.
        if (sheet_.records.size() > kMaxLines) {
            error_ = tooManyLines();
            return;
        }
        sheet_.records.append(std::move(r));
    }
}

int Reader::percent() const {
    if (!splitter_ || text_.isEmpty())
        return 100;
    return static_cast<int>(splitter_->position() * 100 / text_.size());
}

Sheet Reader::take() {
    Sheet s = std::move(sheet_);
    sheet_ = Sheet();
    if (isHeader(s.records, words_)) {
        s.header = s.records.takeFirst().cells;
        // An export appended to an earlier one repeats its header.
        // Lines with a digit carry a quantity: only the others need a look at their words.
        s.records.removeIf([this](const Record& r) {
            return !hasDigit(r.cells) && headerWords(r.cells, words_) >= 2;
        });
    }
    if (s.records.size() > kMaxLines) {
        error_ = tooManyLines();
        return {};
    }
    s.columns = static_cast<int>(s.header.size());
    for (const Record& r : s.records)
        if (r.error.isEmpty())
            s.columns = std::max(s.columns, static_cast<int>(r.cells.size()));
    // Without a header: item, change, remark by position.
    if (s.header.isEmpty()) {
        s.mapping = defaultMapping(s.columns);
    } else {
        s.mapping = headerMapping(s.header, words_);
        s.mapping.resize(s.columns, Field::Skip);
    }
    return s;
}

Sheet read(const QByteArray& bytes, const Words& words, QString* error) {
    Reader reader(bytes, words);
    while (!reader.done())
        reader.step(kMaxLines);
    Sheet s = reader.take();
    if (error)
        *error = reader.error();
    return reader.error().isEmpty() ? s : Sheet();
}

QString emptyInput() {
    return QStringLiteral("没有可以导入的内容：文件或剪贴板是空的！");
}

QString notText() {
    return QStringLiteral("这不是文本文件，不能导入！请在Excel中另存为CSV或文本文件后再导入。");
}

QString tooLarge() {
    return QStringLiteral("文件太大，不能导入！每次最多导入%1MB、%2行。")
        .arg(kMaxBytes / (1024 * 1024))
        .arg(kMaxLines);
}

QString tooManyLines() {
    return QStringLiteral("超过%1行，不能导入！请分成几个文件分别导入。").arg(kMaxLines);
}

QString emptyClipboard() {
    return QStringLiteral("剪贴板中没有文字！请先在Excel或WPS中选中要导入的区域并复制。");
}

QString unreadableText() {
    return QStringLiteral("有无法识别的字符（文件的编码有误或已损坏）");
}

QString cannotRead(const QString& reason) {
    return QStringLiteral("无法读取文件：") + reason;
}

QString startHint() {
    return QStringLiteral("请选择CSV或文本文件，或在Excel中复制一个区域后点击“粘贴”。"
                          "每次最多导入%1行（文件不超过%2MB）。")
        .arg(kMaxLines)
        .arg(kMaxBytes / (1024 * 1024));
}

} // namespace Import
