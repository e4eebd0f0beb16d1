// The item boxes' completion at size: pinyin initials of 5,000 item names as a list is loaded,
// and one keystroke's match over them, also over names made only of characters read several
// ways. The first list of a run also pays for building ICU's
// transliterator and for reading each character through it once; both are shown apart.
#include "app/pinyin.h"

#include <QElapsedTimer>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kItems = 5000;
constexpr double kListBudgetMs = 50;
constexpr double kKeystrokeBudgetMs = 2;

// Characters of goods and account names.
const QString kPool = QStringLiteral(
    "钢管螺丝钉母栓垫片不锈铁铜铝板线缆电机泵阀门水龙头开关插座灯泡件弯三通法兰胶带油漆涂料刷子"
    "扳手钳锤锯钻砂轮切割焊条手套口罩安全帽工作服鞋靴纸箱袋膜瓶罐桶盒杯碗盘筷勺刀叉米面粉盐糖酱"
    "醋茶酒饮果汁牛奶咖啡可乐矿泉饼干包蛋糕巧克力瓜花生核桃红枣葡萄苹香蕉橙梨西番茄黄土豆白菜萝"
    "卜洋葱大蒜姜辣椒鸡鸭鱼肉猪羊虾蟹腐海紫木耳菇蘑笔本尺橡皮文件夹订书打印复墨硒鼓脑鼠标键盘显"
    "示器硬内存主网路由交换充耳音池空调冰洗衣视风扇热微波炉饭锅床柜桌椅沙发窗帘被枕毛巾牙膏浴露"
    "肥皂消毒液药品服囊剂注射棉签精碘伏体温计血压胎滤芯刹雨刮轴承齿链皮弹簧密封圈垫铆膨胀合页锁"
    "具把玻璃瓷砖泥石材胶石膏保防卷筋角槽字圆扁镀锌冷轧中小长短宽窄厚薄蓝绿黑灰金银型号规格准加"
    "强特级优质普进口国产银行现存款账户应收项目工程费用差旅办公");

// Two thousand other ideographs, the same every run, none of them in kPool.
QString widePool() {
    QString pool;
    for (char16_t c = 0x4E00; pool.size() < 2000; c += 7)
        if (!kPool.contains(QChar(c)))
            pool += QChar(c);
    return pool;
}

// The same names every run: two to six characters of `pool` and, for most, a size or a grade.
QStringList itemNames(const QString& pool) {
    unsigned seed = 20261206;
    const auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    const QString suffixes[] = {"M%1", "φ%1", "%1ml", "%1mm", "%1号", "A%1", "", ""};
    QSet<QString> seen;
    QStringList names;
    while (names.size() < kItems) {
        QString name;
        for (unsigned n = 2 + next(5); n > 0; --n)
            name += pool.at(next(pool.size()));
        const QString& suffix = suffixes[next(8)];
        if (!suffix.isEmpty())
            name += suffix.arg(1 + next(200));
        if (!seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    }
    return names;
}

template <typename Work> double msOf(Work work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

template <typename Work> double medianMsOf(int runs, Work work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(msOf(work));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void line(const char* what, double ms, double budget) {
    std::printf("%-48s %10.3f ms   budget %5.1f ms   %5.2fx of it\n", what, ms, budget,
                ms / budget);
}

} // namespace

int main() {
    const QStringList items = itemNames(kPool);
    const QStringList wide = itemNames(widePool());
    Pinyin::ItemMatcher matcher;
    const double transliterator = msOf([] { Pinyin::initials(QStringLiteral("钢")); });
    const double firstList = msOf([&] { matcher.setItems(items); });
    const double wideList = msOf([&] { matcher.setItems(wide); });
    const double nextList = medianMsOf(21, [&] { matcher.setItems(items); });

    const QSet<QChar> distinct(kPool.cbegin(), kPool.cend());
    std::printf("%d item names of %lld distinct characters\n\n", kItems,
                static_cast<long long>(distinct.size()));
    std::printf("%-48s %10.3f ms   (once per run)\n", "ICU Han-Latin transliterator built",
                transliterator);
    line("initials, first list (each character via ICU)", firstList, kListBudgetMs);
    line("initials, 5,000 more over 2,000 new characters", wideList, kListBudgetMs);
    line("initials, a list loaded again (median)", nextList, kListBudgetMs);

    double worst = 0;
    for (const QString& typed :
         {QStringLiteral("l"), QStringLiteral("lsd"), QStringLiteral("gg"), QStringLiteral("m6"),
          QStringLiteral("钢"), QStringLiteral("zzqx")}) {
        QStringList found;
        const double ms = medianMsOf(201, [&] { found = matcher.match(typed); });
        worst = std::max(worst, ms);
        const QByteArray label = QStringLiteral("keystroke \"%1\" (%2 shown, median)")
                                     .arg(typed)
                                     .arg(found.size())
                                     .toUtf8();
        line(label.constData(), ms, kKeystrokeBudgetMs);
    }
    line("keystroke, slowest of the above", worst, kKeystrokeBudgetMs);

    // Names of forty characters each read two or three ways: 2^40 choices of readings each,
    // matched in one pass all the same.
    QStringList polyphones;
    const QString many = QStringLiteral("行重长调会乐参藏");
    for (int i = 0; i < kItems; ++i) {
        QString name;
        for (int j = 0; j < 40; ++j)
            name += many.at((i + j * 7 + j / 3) % many.size());
        polyphones.append(name);
    }
    matcher.setItems(polyphones);
    // A key read off one of them, and one that comes close in many places but matches none.
    for (const QString& typed : {Pinyin::initials(polyphones.at(kItems / 2)).mid(3, 15),
                                 QStringLiteral("xzczdlczhcthyzs")}) {
        QStringList found;
        const double ms = medianMsOf(201, [&] { found = matcher.match(typed); });
        const QByteArray label = QStringLiteral("keystroke over 40 polyphones (%1 shown, median)")
                                     .arg(found.size())
                                     .toUtf8();
        line(label.constData(), ms, kKeystrokeBudgetMs);
    }
    return 0;
}
