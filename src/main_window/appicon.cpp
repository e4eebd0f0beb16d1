#include "main_window/appicon.h"

#include "app/mainbas.h"

#include <QFileInfo>
#include <QPainter>
#include <QPixmap>

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x4e, 0x9c));
        p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 5.0, size / 5.0);
        QFont f = p.font();
        f.setPixelSize(size * 7 / 10);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("账"));
        icon.addPixmap(pm);
    }
    return icon;
}

QString helpPagePath() {
    const QString candidates[] = {
        MainBas::AppPath + QStringLiteral("help/index.html"),
        MainBas::AppPath + QStringLiteral("../share/zelvo/help/index.html"),
    };
    for (const QString& path : candidates)
        if (QFileInfo::exists(path))
            return QFileInfo(path).canonicalFilePath();
    return candidates[1];
}
