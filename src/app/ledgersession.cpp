#include "app/ledgersession.h"

void LedgerSession::setItems(const QStringList& items) {
    items_ = items;
    emit itemsReset();
}

bool LedgerSession::addItem(const QString& item) {
    if (items_.contains(item, Qt::CaseSensitive))
        return false;
    items_.append(item);
    emit itemAdded(item);
    return true;
}

void LedgerSession::setOperators(const QStringList& operators) {
    operators_ = operators;
    emit operatorsChanged();
}

void LedgerSession::addOperator(const QString& name) {
    if (operators_.contains(name, Qt::CaseSensitive))
        return;
    operators_.append(name);
    emit operatorsChanged();
}

void LedgerSession::removeOperator(const QString& name) {
    if (operators_.removeAll(name) > 0)
        emit operatorsChanged();
}

void LedgerSession::setNotice(const QString& stored) {
    if (notice_ == stored)
        return;
    notice_ = stored;
    emit noticeChanged();
}
