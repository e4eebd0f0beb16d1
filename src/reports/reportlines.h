#pragma once
// The lines of a report list with what each stands for: column 0 the shown text, column 1 the
// record id (empty for any line that is not a record), column 2 the full item (a cell may show
// it cut). The list view shows column 0 and the hidden Lst2 column 1 of the same model, so the
// two can never drift apart.

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

struct ReportLine {
    QString text;
    QString id;
    QString item;
    // The line as an export writes it, when it cannot be taken from the shown text (a cell
    // shows its value cut): cells separated by commas. Empty otherwise.
    QString whole = {};
};

class ReportLines : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TextColumn = 0, IdColumn = 1, ItemColumn = 2 };

    explicit ReportLines(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(lines_.size()); }
    QString text(int row) const;
    QString id(int row) const;
    QString item(int row) const;
    const QVector<ReportLine>& lines() const { return lines_; }
    // At least one record line.
    bool hasRecords() const;

    void clear();
    void append(const QString& text, const QString& id = QString(),
                const QString& item = QString());
    // Many lines at once: one insert notice for the whole batch.
    void append(const QVector<ReportLine>& lines);
    void append(QVector<ReportLine>&& lines);
    void setText(int row, const QString& text);

private:
    QVector<ReportLine> lines_;
};
