#pragma once
// 恢复数据's first step: one of the daily copies, or a file chosen elsewhere (a copy made with
// 备份数据, or brought from another computer).

#include <QDialog>

class QListWidget;
class QPushButton;

class RestorePick : public QDialog {
    Q_OBJECT
public:
    explicit RestorePick(QWidget* parent = nullptr);
    // The copy chosen; empty unless accepted.
    QString chosen() const { return chosen_; }

    QListWidget* LstBak;
    QPushButton* Cmd[3]; // 恢复, 选择其他文件…, 取消

private:
    void Cmd_Click(int index);
    QString chosen_;
};
