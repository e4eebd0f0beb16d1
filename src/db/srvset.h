#pragma once
// 服务器设置: which server this computer talks to, tried before it is kept. Saving switches at
// once; the values go into the user's settings file.

#include "db/sqlaccess.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class SrvSet : public QDialog {
    Q_OBJECT
public:
    explicit SrvSet(QWidget* parent = nullptr);

    // The values as the boxes hold them.
    Db::Connection values() const;
    void showValues(const Db::Connection& c);
    void Cmd_Click(int index);

    // Where a ledger is to be copied, rather than the server to switch to: the save button
    // reads `okCaption`, and accepts a server only once a connection to it has been tried.
    enum class Pick { Server, Embedded };
    void pickTarget(Pick kind, const QString& okCaption);

    // After a statement failed: when the server answered and lacks the three tables, asks
    // whether to make them and does. Made: the caller tries again; Answered: the person has
    // had the question (and any failure to make them) and needs no further message; NotAsked:
    // the failure is the caller's to report.
    enum class Offer { NotAsked, Made, Answered };
    static Offer offerTables();

    QComboBox* CmbLX;
    QLineEdit* TxtSrv;
    QLineEdit* TxtUid;
    QLineEdit* TxtPwd;
    QLineEdit* TxtDb;
    QComboBox* CmbSsl;
    QLineEdit* TxtCa;
    QLabel* LabWait;
    QPushButton* Cmd[4];

private:
    void CmbLX_Click();
    // The probe's answer shown (unless `quietOnSuccess` and it worked); true when reached.
    bool testConnection(bool quietOnSuccess = false);
    void acceptTarget();

    bool picking_ = false;
    Pick pick_ = Pick::Server;
};
