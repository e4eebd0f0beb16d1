#include "main_window/restorepick.h"

#include "app/shell.h"
#include "app/twips.h"
#include "db/backup.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using Twips::indexed;
using Twips::named;
using Twips::place;

RestorePick::RestorePick(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RestorePick"));
    setWindowTitle(Backup::pickTitle());
    setModal(true);
    auto* caption =
        new QLabel(QStringLiteral("自动备份（每天一份，保留最近%1份）：").arg(Backup::kKeep), this);
    place(caption, 240, 150, 5700, 330);
    LstBak = named(new QListWidget(this), QStringLiteral("LstBak"));
    place(LstBak, 240, 510, 5700, 2700);
    for (const QString& path : Backup::dailyCopies()) {
        const QFileInfo info(path);
        auto* item = new QListWidgetItem(info.fileName().mid(4, 10) + QStringLiteral("    ") +
                                             QString::number((info.size() + 1023) / 1024) +
                                             QStringLiteral(" KB"),
                                         LstBak);
        item->setData(Qt::UserRole, path);
    }
    if (LstBak->count() == 0)
        new QListWidgetItem(Backup::pickNoCopies(), LstBak);
    else
        LstBak->setCurrentRow(0);
    const QString buttons[] = {QStringLiteral("恢复"), Backup::pickOther(), QStringLiteral("取消")};
    for (int i = 0; i < 3; ++i) {
        Cmd[i] = named(new QPushButton(buttons[i], this), indexed("Cmd", i));
        Cmd[i]->setAutoDefault(false);
        place(Cmd[i], 240 + i * 1950, 3390, 1800, 450);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    connect(LstBak, &QListWidget::itemDoubleClicked, this, [this] { Cmd_Click(0); });
    setFixedSize(Twips::tw(6200), Twips::tw(4100));
}

void RestorePick::Cmd_Click(int index) {
    if (index == 2) {
        reject();
        return;
    }
    chosen_ = index == 0
                  ? (LstBak->currentItem() ? LstBak->currentItem()->data(Qt::UserRole).toString()
                                           : QString())
                  : OpenBackupDialog(Backup::pickTitle());
    if (!chosen_.isEmpty())
        accept();
}
