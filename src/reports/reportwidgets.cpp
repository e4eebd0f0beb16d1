#include "reports/reportwidgets.h"

#include "admin/rights.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/textwidth.h"
#include "reports/listnav.h"
#include "reports/pickers.h"
#include "reports/texttable.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QWidget>
#include <QtMath>

namespace Report {

namespace {

// Draws each character of a table line in its own cell of the text grid: one half cell for a
// narrow character, two for a wide one, as the width measure counts them. A glyph the font
// draws narrower or wider than its cells (Greek, accented Latin are proportional even in the
// monospaced CJK font) is centred in them, so no "│" after it ever moves.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const QFontMetricsF fm(opt.font);
        const qreal half = fm.horizontalAdvance(QLatin1Char('0'));
        const qreal baseline = area.top() + (area.height() - fm.height()) / 2 + fm.ascent();
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(
            opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        qreal x = area.left();
        const QList<uint> codes = text.toUcs4();
        for (const uint c : codes) {
            const qreal cell = isWideChar(c) ? 2 * half : half;
            if (c != ' ') {
                const char32_t one = c;
                const QString glyph = QString::fromUcs4(&one, 1);
                painter->drawText(QPointF(x + (cell - fm.horizontalAdvance(glyph)) / 2, baseline),
                                  glyph);
            }
            x += cell;
            if (x > area.right())
                break;
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const qreal half = QFontMetricsF(option.font).horizontalAdvance(QLatin1Char('0'));
        const QString text = index.data(Qt::DisplayRole).toString();
        size.setWidth(qCeil(TextTwips(text) / 90.0 * half) + 8);
        return size;
    }
};

} // namespace

DatePickers::DatePickers(QWidget* parent, const QString& prefix, int currentYear)
    : QObject(parent) {
    for (int i = 0; i < 5; ++i) {
        auto* c = new QComboBox(parent);
        c->setObjectName(prefix + QLatin1Char('_') + QString::number(i));
        c->addItems(Pickers::items(i, currentYear));
        c->setMaxVisibleItems(16);
        parts_[i] = c;
    }
    for (QComboBox* c : parts_)
        connect(c, &QComboBox::currentIndexChanged, this, &DatePickers::FitDayToMonth);
}

bool DatePickers::select(int index, const QString& text) {
    const int at = parts_[index]->findText(text);
    if (at < 0)
        return false;
    parts_[index]->setCurrentIndex(at);
    return true;
}

void DatePickers::selectYear(int year) {
    const QString text = QString::number(year);
    if (select(Pickers::Year, text))
        return;
    // A record older than the list: its year goes in at its place, so it is never re-dated.
    QComboBox* c = parts_[Pickers::Year];
    int at = 0;
    while (at < c->count() && c->itemText(at).toInt() < year)
        ++at;
    c->insertItem(at, text);
    c->setCurrentIndex(at);
}

QStringList DatePickers::texts() const {
    QStringList out;
    for (QComboBox* c : parts_)
        out.append(c->currentText());
    return out;
}

QString DatePickers::stamp() const {
    return Pickers::stamp(texts());
}

void DatePickers::FitDayToMonth() {
    QComboBox* day = parts_[Pickers::Day];
    const int fitted = Pickers::fittedDayPos(
        parts_[Pickers::Month]->currentText().toInt(),
        qRound(parts_[Pickers::Year]->currentText().toDouble()), day->currentIndex());
    if (fitted != day->currentIndex())
        day->setCurrentIndex(fitted);
}

ReportList::ReportList(QWidget* parent) : QListView(parent) {
    setObjectName(QStringLiteral("Lst"));
    lines_ = new ReportLines(this);
    setModel(lines_);
    setModelColumn(ReportLines::TextColumn);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont f(TextTable::fontFamily());
    f.setPointSizeF(TextTable::kFontPoints);
    f.setStyleHint(QFont::TypeWriter);
    setFont(f);
    setItemDelegate(new GridDelegate(this));
    lst2_ = new QListView(parent);
    lst2_->setObjectName(QStringLiteral("Lst2"));
    lst2_->setModel(lines_);
    lst2_->setModelColumn(ReportLines::IdColumn);
    lst2_->hide();
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) { Lst_Click(now.isValid() ? now.row() : -1); });
    // The line the click settled on, which is not the rule line under the pointer.
    connect(this, &QListView::doubleClicked, this, [this] { emit doubleClickedRow(selected()); });
}

int ReportList::selected() const {
    const QModelIndex at = currentIndex();
    return at.isValid() ? at.row() : -1;
}

void ReportList::selectRow(int row) {
    if (row < 0 || row >= lines_->count()) {
        setCurrentIndex(QModelIndex());
        return;
    }
    setCurrentIndex(lines_->index(row, ReportLines::TextColumn));
}

void ReportList::mousePressEvent(QMouseEvent* event) {
    gestureFrom_ = LastListIndex;
    inMouse_ = true;
    QListView::mousePressEvent(event);
    settleMouse();
}

void ReportList::mouseMoveEvent(QMouseEvent* event) {
    inMouse_ = true;
    QListView::mouseMoveEvent(event);
    settleMouse();
}

void ReportList::mouseReleaseEvent(QMouseEvent* event) {
    inMouse_ = true;
    QListView::mouseReleaseEvent(event);
    settleMouse();
}

void ReportList::settleMouse() {
    inMouse_ = false;
    const int row = selected();
    const QString line = lines_->text(row);
    int target = row;
    // Only a line the pointer newly reached counts; the line already stepped to does not.
    if (row != LastListIndex && ListNav::remembers(line, row)) {
        target = ListNav::afterClick(line, row, gestureFrom_, lines_->count());
        if (target == row)
            gestureFrom_ = row;
        LastListIndex = target;
    }
    stepping_ = true;
    if (target != row)
        selectRow(target);
    else if (row >= 0 && !selectionModel()->isSelected(currentIndex()))
        selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
    stepping_ = false;
}

void ReportList::Lst_Click(int row) {
    if (stepping_ || inMouse_)
        return;
    const QString line = lines_->text(row);
    if (!ListNav::remembers(line, row))
        return;
    const int target = ListNav::afterClick(line, row, LastListIndex, lines_->count());
    if (target != row) {
        stepping_ = true;
        selectRow(target);
        stepping_ = false;
    }
    LastListIndex = target;
}

void fillItemChoices(QComboBox* combo, const QStringList& choices) {
    combo->clear();
    combo->addItems(choices);
    combo->setCurrentIndex(0);
}

QPushButton* makeWaitBanner(QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QStringLiteral("CmdWait"));
    b->setStyleSheet(QStringLiteral("background: #fff8d0; border: 1px solid #c8a800;"));
    b->hide();
    return b;
}

void showWait(QPushButton* banner, const QString& caption) {
    banner->setText(caption);
    banner->show();
    banner->raise();
    // Paints the banner, but leaves clicks queued: a second 统计 must not start a run inside
    // this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void centreWait(QPushButton* banner, const QWidget* list) {
    const QRect r = list->geometry();
    banner->setGeometry(r.x() + r.width() / 6, r.y() + r.height() / 3, r.width() * 2 / 3, tw(600));
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : buttons) {
        b->setMinimumWidth(tw(1300));
        row->addWidget(b);
    }
    return row;
}

bool requireRight(int n) {
    if (Rights::has(MainBas::CurQx, n))
        return true;
    Msg::info(Rights::refusal());
    return false;
}

CommandRow makeCommandRow(QWidget* window, const QString& backCaption,
                          std::function<void()> compute, std::function<void()> exportReport) {
    CommandRow row{};
    const QString captions[3] = {QStringLiteral("统 计"), QStringLiteral("导出Excel"), backCaption};
    for (int i = 0; i < 3; ++i) {
        row.cmd[i] = new QPushButton(captions[i], window);
        row.cmd[i]->setObjectName(QStringLiteral("Cmd_") + QString::number(i));
    }
    QObject::connect(row.cmd[0], &QPushButton::clicked, window, [compute] { compute(); });
    QObject::connect(row.cmd[1], &QPushButton::clicked, window, [exportReport] {
        if (requireRight(Rights::Export))
            exportReport();
    });
    QObject::connect(row.cmd[2], &QPushButton::clicked, window, [window] { window->close(); });
    return row;
}

} // namespace Report
