#pragma once
// The ledger dialog: add a ledger by contact (Frm_0), name it (Frm_1), choose its type (Frm_2).

#include <QDialog>

class ZbTyp : public QDialog {
    Q_OBJECT
public:
    static ZbTyp* instance();
    static void destroyInstance();
    int EdZbNm = 0;
    // Makes frame `index` the visible one.
    void showFrame(int index);

private:
    ZbTyp();
};
