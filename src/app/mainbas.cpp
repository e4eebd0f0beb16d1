#include "app/mainbas.h"

#include <algorithm>

void SqlTable::reset(int rowCount, int colCount) {
    rows_.assign(static_cast<size_t>(std::max(rowCount, 0)), QStringList());
    for (QStringList& row : rows_)
        for (int c = 0; c < colCount; ++c)
            row.append(QString());
}

void SqlTable::set(int row, int col, const QString& value) {
    if (row >= 0 && row < rowCount() && col >= 0 && col < rows_[row].size())
        rows_[row][col] = value;
}

QString SqlTable::operator()(int row, int col) const {
    if (row < 0 || row >= rowCount() || col < 0 || col >= rows_[row].size())
        return {};
    return rows_[row][col];
}

namespace MainBas {

QString withTrailingSeparator(const QString& dir) {
    QString path = dir;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

void initFixedValues(const QString& programDir) {
    AppVer = QStringLiteral("2.7");
    AppTitle = QStringLiteral("Zelvo云记账软件");
    SrvDate.clear();
    SrvDay = 0;
    AppPath = withTrailingSeparator(programDir);
    SetKey = QStringLiteral("FR");
    AppVer += SetKey;
}

QString splashText() {
    return QStringLiteral("正在启动《") + AppTitle + QLatin1Char(' ') + AppVer +
           QStringLiteral("》……");
}

void resetSessionState() {
    CurZbID.clear();
    CurZbNm.clear();
    ItemName.clear();
    SlName.clear();
    ZbMsg.clear();
    CurUsr.clear();
    CurQx.clear();
    SrvDate.clear();
    SrvDay = 0;
    SrvReadOn = QDate();
    AutoOpenFlag = 0;
    DlgRet.clear();
}

} // namespace MainBas
