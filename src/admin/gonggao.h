#pragma once
// The ledger notice: up to about five lines in a colour of six, published to the ledger's row
// and shown at once in the main window. Made afresh for every showing.

#include <QColor>
#include <QDialog>

class LedgerSession;
class QLabel;
class QPalette;
class QPlainTextEdit;
class QPushButton;

// A stored colour number as a colour: 0x00BBGGRR, or a system colour (high bit set) taken from
// the matching role of `palette`.
QColor noticeColour(int stored, const QPalette& palette);

class GongGao : public QDialog {
    Q_OBJECT
public:
    // Starts with the session's notice; a publish or a reset goes back into the session.
    explicit GongGao(LedgerSession& session, QWidget* parent = nullptr);
    // The notice shown now: its text and, when it has one, its colour number.
    void setNotice(const QString& boxText, bool hasColour, int colour);
    int textColour() const { return colour_; }
    void Cmd_Click(int index);
    void Lab_Click(int index);

    QLabel* Lab[6];
    QLabel* LabCpt;
    QLabel* LabRed;
    QPlainTextEdit* Txt;
    QPushButton* Cmd[3];

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Txt_Change();
    // The bar rule and the line estimate, on whatever the box holds.
    void checkText();
    void applyColour(int colour);
    void publish();
    void systemDefault();

    int colour_;
    QString lastText_;
    bool changing_ = false;
    LedgerSession& session_;
};
