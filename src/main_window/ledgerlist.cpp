#include "main_window/ledgerlist.h"

#include "app/mainbas.h"
#include "app/settings.h"

using Settings::GetSetting;
using Settings::kApp;
using Settings::SaveSetting;

namespace LedgerList {

namespace {
QString key(int i) {
    return QString::number(i) + QLatin1Char('Z');
}
const QString& setKey() {
    return MainBas::SetKey;
}
QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

bool parseValue(const QString& value, Ledger* ledger) {
    const int hash = value.indexOf(QLatin1Char('#'));
    if (hash < 1)
        return false;
    ledger->id = value.left(hash);
    ledger->name = value.mid(hash + 1);
    return true;
}

QList<Ledger> load() {
    QList<Ledger> ledgers;
    for (int i = 0; i < 1000; ++i) {
        const QString value = GetSetting(kApp, setKey(), key(i));
        if (value.isEmpty())
            break;
        Ledger ledger;
        if (parseValue(value, &ledger))
            ledgers.append(ledger);
    }
    return ledgers;
}

void save(const QList<Ledger>& ledgers) {
    for (int i = 0; i < ledgers.size(); ++i)
        SaveSetting(kApp, setKey(), key(i), ledgers[i].id + QLatin1Char('#') + ledgers[i].name);
    SaveSetting(kApp, setKey(), key(static_cast<int>(ledgers.size())), QString());
}

QString lastOpened() {
    return GetSetting(kApp, QStringLiteral("ZBID"), setKey());
}
void setLastOpened(const QString& id) {
    SaveSetting(kApp, QStringLiteral("ZBID"), setKey(), id);
}

int indexAfterRemoval(int removed) {
    return removed == 0 ? 0 : removed - 1;
}

QString autoOpen() {
    return GetSetting(kApp, QStringLiteral("AutoOpen"), setKey());
}
void setAutoOpen(bool on) {
    SaveSetting(kApp, QStringLiteral("AutoOpen"), setKey(), flag(on));
}
QString autoLogin() {
    return GetSetting(kApp, QStringLiteral("AutoLogin"), setKey());
}
void setAutoLogin(bool on) {
    SaveSetting(kApp, QStringLiteral("AutoLogin"), setKey(), flag(on));
}

QString lastOperator(const QString& zbid) {
    return GetSetting(kApp, zbid, setKey());
}
void setLastOperator(const QString& zbid, const QString& usr) {
    SaveSetting(kApp, zbid, setKey(), usr);
}

QString rememberedPassword(const QString& usr, const QString& zbid) {
    return GetSetting(kApp, setKey(), usr + QLatin1Char('#') + zbid);
}
void setRememberedPassword(const QString& usr, const QString& zbid, const QString& pwd) {
    SaveSetting(kApp, setKey(), usr + QLatin1Char('#') + zbid, pwd);
}

bool autoShowSL(const QString& zbid, const QString& usr) {
    return GetSetting(zbid, usr, QStringLiteral("AutoShowSL")) != QLatin1String("False");
}
void setAutoShowSL(const QString& zbid, const QString& usr, bool on) {
    SaveSetting(zbid, usr, QStringLiteral("AutoShowSL"),
                on ? QStringLiteral("True") : QStringLiteral("False"));
}

} // namespace LedgerList
