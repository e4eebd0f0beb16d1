#include "admin/gonggaorules.h"

#include "app/textwidth.h"
#include "db/sqlaccess.h"

#include <QStringList>

namespace GongGaoRules {

namespace {

struct Option {
    const char16_t* caption;
    int colour;
};

const Option kOptions[kOptionCount] = {
    {u"黑色", kButtonText}, {u"蓝色", 0xFF0000}, {u"绿色", 0x00C000},
    {u"红色", 0x0000FF},    {u"白色", 0xFFFFFF}, {u"紫色", 0xFF00FF},
};

const QChar kBar(0x2502);
constexpr int kLabelTwips = 5650;

} // namespace

QString caption() {
    return QStringLiteral("公告板");
}
QString promptText() {
    return QStringLiteral("请输入5行以内的公告内容：");
}
QString tooLongText() {
    return QStringLiteral("您输入的内容已经超过5行！");
}
QString buttonCaption(int button) {
    const char16_t* captions[3] = {u"发 布", u"返 回", u"系统默认"};
    return button >= 0 && button < 3 ? QString::fromUtf16(captions[button]) : QString();
}

QString optionCaption(int option) {
    return option >= 0 && option < kOptionCount ? QString::fromUtf16(kOptions[option].caption)
                                                : QString();
}
int optionColour(int option) {
    return option >= 0 && option < kOptionCount ? kOptions[option].colour : kButtonText;
}

OleColour decodeColour(int stored) {
    OleColour c;
    const quint32 v = static_cast<quint32>(stored);
    if (v & 0x80000000u) {
        c.system = true;
        c.index = static_cast<int>(v & 0xFFu);
        return c;
    }
    c.red = static_cast<int>(v & 0xFFu);
    c.green = static_cast<int>((v >> 8) & 0xFFu);
    c.blue = static_cast<int>((v >> 16) & 0xFFu);
    return c;
}

int storedLength(const QString& boxText) {
    return static_cast<int>(toStored(boxText).size());
}

QString toStored(const QString& boxText) {
    QString s = boxText;
    s.remove(QLatin1Char('\r'));
    return s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString fromStored(const QString& storedText) {
    QString s = storedText;
    return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

int lineEstimate(const QString& boxText) {
    const QStringList lines = fromStored(boxText).split(QLatin1Char('\n'));
    int count = static_cast<int>(lines.size()); // 1 plus one per break
    for (const QString& line : lines) {
        const int h = TextTwips(line) / kLabelTwips;
        if (h > 0)
            count += h - 1;
    }
    return count;
}

QString encode(int colour, const QString& boxText) {
    return QString::number(colour) + kBar + toStored(boxText);
}

QString publishStatement(const QString& zbid, int colour, const QString& boxText) {
    return QStringLiteral("update Zblst set GongGao='") + SqlStr(encode(colour, boxText)) +
           QStringLiteral("' where Zbid='") + SqlStr(zbid) + QLatin1Char('\'');
}

QString clearStatement(const QString& zbid) {
    return QStringLiteral("update Zblst set GongGao='' where Zbid='") + SqlStr(zbid) +
           QLatin1Char('\'');
}

QString connectFailed() {
    return QStringLiteral("连接服务器失败，请重试！");
}

} // namespace GongGaoRules
