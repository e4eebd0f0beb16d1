#pragma once
// The open ledger's lists that several windows show: its items, its operators and its notice.
// The main window fills it when a ledger opens; the report and administration windows receive
// it, read it, and change it through it; the main window follows the signals.

#include <QObject>
#include <QString>
#include <QStringList>

class LedgerSession : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Items in the order the entry panel lists them.
    const QStringList& items() const { return items_; }
    void setItems(const QStringList& items);
    // Appends `item` unless it is there already (exact text); true when it was added.
    bool addItem(const QString& item);

    // The operators of the login list, in its order.
    const QStringList& operators() const { return operators_; }
    void setOperators(const QStringList& operators);
    void addOperator(const QString& name);
    void removeOperator(const QString& name);

    // The notice as stored: colour number, "│", text; empty for none.
    const QString& notice() const { return notice_; }
    void setNotice(const QString& stored);

signals:
    void itemsReset();
    void itemAdded(const QString& item);
    void operatorsChanged();
    void noticeChanged();

private:
    QStringList items_;
    QStringList operators_;
    QString notice_;
};
