#pragma once
// The operator's rights word: sixteen characters "0"/"1", character n standing for right n.

#include <QString>

namespace Rights {

enum Right {
    Admin = 1,
    Increase = 2,
    Decrease = 3,
    SeeQuantity = 4,
    BalanceList = 5,
    Journal = 6,
    Summary = 7,
    Export = 8,
    Audit = 9,
    AddMissed = 10,
    Modify = 11,
    DeleteOne = 12,
    DeleteBatch = 13,
    OwnPassword = 14,
    Notice = 16,
};

// A stored word padded with "1" to sixteen characters: what the word lacks is granted.
QString readWord(const QString& stored);
// Right n is held when character n is "1".
bool has(const QString& word, int n);
// "对不起，您无此权限！"
QString refusal();

} // namespace Rights
