#include "reports/reportlines.h"

ReportLines::ReportLines(QObject* parent) : QAbstractTableModel(parent) {}

int ReportLines::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int ReportLines::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant ReportLines::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count() || role != Qt::DisplayRole)
        return {};
    const ReportLine& l = lines_.at(index.row());
    switch (index.column()) {
    case TextColumn:
        return l.text;
    case IdColumn:
        return l.id;
    default:
        return l.item;
    }
}

QString ReportLines::text(int row) const {
    return row >= 0 && row < count() ? lines_.at(row).text : QString();
}

QString ReportLines::id(int row) const {
    return row >= 0 && row < count() ? lines_.at(row).id : QString();
}

QString ReportLines::item(int row) const {
    return row >= 0 && row < count() ? lines_.at(row).item : QString();
}

bool ReportLines::hasRecords() const {
    for (const ReportLine& l : lines_)
        if (!l.id.isEmpty())
            return true;
    return false;
}

void ReportLines::clear() {
    beginResetModel();
    lines_.clear();
    endResetModel();
}

void ReportLines::append(const QString& text, const QString& id, const QString& item) {
    beginInsertRows(QModelIndex(), count(), count());
    lines_.append({text, id, item});
    endInsertRows();
}

void ReportLines::append(const QVector<ReportLine>& lines) {
    if (lines.isEmpty())
        return;
    beginInsertRows(QModelIndex(), count(), count() + static_cast<int>(lines.size()) - 1);
    lines_.append(lines);
    endInsertRows();
}

void ReportLines::append(QVector<ReportLine>&& lines) {
    if (lines.isEmpty())
        return;
    beginInsertRows(QModelIndex(), count(), count() + static_cast<int>(lines.size()) - 1);
    lines_.append(std::move(lines));
    endInsertRows();
}

void ReportLines::setText(int row, const QString& text) {
    if (row < 0 || row >= count())
        return;
    lines_[row].text = text;
    emit dataChanged(index(row, TextColumn), index(row, TextColumn));
}
