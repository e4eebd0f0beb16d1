#pragma once
// Program-wide state shared by every window, and the fixed values set at start-up.

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

// The last query's result: row 0 the column names, rows 1.. the records. Cells outside the
// table read as empty texts, so callers may look one row past the data.
class SqlTable {
public:
    void reset(int rowCount, int colCount);
    // Takes whole rows at once (a large result is not first filled with empty cells).
    void assign(std::vector<QStringList>&& rows) { rows_ = std::move(rows); }
    void set(int row, int col, const QString& value);
    QString operator()(int row, int col) const;
    int rowCount() const { return static_cast<int>(rows_.size()); }

private:
    std::vector<QStringList> rows_;
};

namespace MainBas {

inline QString AppTitle;
inline QString AppVer;
inline QString SetKey;
inline QString AppPath;

inline QString CurZbID;
inline QString CurZbNm;
inline QString ItemName;
inline QString SlName;
inline QString ZbMsg;
inline QString CurUsr;
inline QString CurQx;

inline SqlTable SqlRows;
inline int SqlCols = 0;
inline int SqlRowMax = 0;

inline QString SrvDate;
inline int SrvDay = 0;
// The local day on which SrvDate was read.
inline QDate SrvReadOn;

inline int AutoOpenFlag = 0;
inline QString DlgRet;

// Parked in DlgRet while the ledger list may react to its add entry.
inline const QString kArmZbList = QStringLiteral("CmbZbNm事件增加账套");

// Step 1 to 4 of start-up: the fixed values, the program folder, the masked connection values.
void initFixedValues(const QString& programDir);

// The program folder with exactly one trailing separator.
QString withTrailingSeparator(const QString& dir);

// Splash line: 正在启动《title version》……
QString splashText();

// Clears the open ledger and operator; used by tests that start a fresh run.
void resetSessionState();

} // namespace MainBas
