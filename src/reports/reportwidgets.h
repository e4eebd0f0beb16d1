#pragma once
// Controls the report windows share: the date-part pickers, the text-table list with its
// rule-skipping click, the item drop-down, the wait banner and the three-button command row.

#include "reports/reportlines.h"

#include <QListView>
#include <QObject>
#include <QString>
#include <QStringList>

#include "app/twips.h"

#include <functional>

class QComboBox;
class QHBoxLayout;
class QMouseEvent;
class QPushButton;
class QWidget;

namespace Report {

using Twips::tw;

// The five pickers of one period end, named <prefix>_0 … <prefix>_4 (Cmb_0, Cmb2_3).
class DatePickers : public QObject {
    Q_OBJECT
public:
    DatePickers(QWidget* parent, const QString& prefix, int currentYear);

    QComboBox* part(int index) const { return parts_[index]; }
    // Selects the item whose text is `text`; false (selection kept) when there is none.
    bool select(int index, const QString& text);
    // Selects `year`, adding it first when it lies outside the list.
    void selectYear(int year);
    // The five texts as they stand.
    QStringList texts() const;
    // "yyyy-mm-dd hh:mm"
    QString stamp() const;
    // Cmb_Click / Cmb2_Click.
    void FitDayToMonth();

private:
    QComboBox* parts_[5];
};

// The report list Lst over a ReportLines model, with the hidden Lst2 showing the ids of the
// same model. Drawn in the table font with uniform rows, so a long list costs nothing to add.
class ReportList : public QListView {
    Q_OBJECT
public:
    explicit ReportList(QWidget* parent);

    ReportLines* lines() const { return lines_; }
    QListView* idList() const { return lst2_; }
    int selected() const;
    void selectRow(int row); // -1 clears the selection
    int LastListIndex = -1;

signals:
    void doubleClickedRow(int row);

protected:
    // A mouse gesture makes the line under the pointer current first and selects it only
    // afterwards; the rule-line step is taken once the view has done both, so the highlighted
    // line is always the one the commands act on.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Lst_Click(int row);
    void settleMouse();
    ReportLines* lines_;
    QListView* lst2_;
    bool stepping_ = false;
    bool inMouse_ = false;
    // The record line the current gesture moves from: a rule line is stepped over away from it.
    int gestureFrom_ = -1;
};

// LoadItemChoices: `choices` into `combo`, position 0 selected.
void fillItemChoices(QComboBox* combo, const QStringList& choices);

// The busy banner CmdWait, hidden until shown over the list.
QPushButton* makeWaitBanner(QWidget* parent);
void showWait(QPushButton* banner, const QString& caption);
// The banner over the middle of `list`, as a window lays it out again.
void centreWait(QPushButton* banner, const QWidget* list);
// The report windows' command buttons at the right of one row, of one width.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

// Cmd_0 "统 计", Cmd_1 "导出Excel", Cmd_2 `backCaption`, with the shared Cmd_Click:
// 0 runs `compute`, 1 runs `exportReport` when the operator holds the export right,
// 2 closes `window`.
struct CommandRow {
    QPushButton* cmd[3];
};
CommandRow makeCommandRow(QWidget* window, const QString& backCaption,
                          std::function<void()> compute, std::function<void()> exportReport);

// "对不起，您无此权限！" unless the logged-in operator holds right `n`.
bool requireRight(int n);

} // namespace Report
