#include "reports/zstu.h"

#include "app/format.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"

#include <QDir>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QColor kLine(0x1f, 0x5f, 0xbf);
const QColor kUp(0x2e, 0x9d, 0x3a);
const QColor kDown(0xd6, 0x3a, 0x2f);
const QColor kGrid(0xe2, 0xe2, 0xe2);
constexpr double kMark = 4;
constexpr int kHoverPixels = 8;

QPolygonF triangle(const QPointF& at, bool up) {
    const double d = up ? -kMark : kMark;
    return QPolygonF({QPointF(at.x(), at.y() + d), QPointF(at.x() - kMark, at.y() - d * 0.6),
                      QPointF(at.x() + kMark, at.y() - d * 0.6)});
}

} // namespace

ChartView::ChartView(Chart::Series series, QString slName, QString heading, QWidget* parent)
    : QWidget(parent), series_(std::move(series)), slName_(std::move(slName)),
      heading_(std::move(heading)) {
    setObjectName(QStringLiteral("ChartView"));
    setMouseTracking(true);
    setMinimumSize(480, 280);
    // Entries stamped outside the period still belong on the axis.
    if (!series_.steps.isEmpty()) {
        if (!series_.start.isValid() || series_.steps.constFirst().at < series_.start)
            series_.start = series_.steps.constFirst().at;
        if (!series_.end.isValid() || series_.steps.constLast().at > series_.end)
            series_.end = series_.steps.constLast().at;
    }
    spanMs_ = std::max<qint64>(1, series_.start.msecsTo(series_.end));
    axis_ = Chart::valueAxis(series_.low, series_.high, 7);
}

const QRectF& ChartView::plotArea() const {
    if (plotFor_ == size())
        return plot_;
    double labels = 0;
    for (double v : axis_.ticks)
        labels = std::max<double>(labels, fontMetrics().horizontalAdvance(NumStr(v)));
    const double line = fontMetrics().height();
    plot_ = QRectF(QPointF(labels + 16, line * 3.8), QPointF(width() - 24, height() - line * 2));
    plotFor_ = size();
    return plot_;
}

double ChartView::xOf(const QDateTime& t) const {
    const QRectF& r = plotArea();
    return r.left() + r.width() * series_.start.msecsTo(t) / double(spanMs_);
}

double ChartView::yOf(double v) const {
    const QRectF& r = plotArea();
    return r.bottom() - r.height() * (v - axis_.low) / (axis_.high - axis_.low);
}

QPointF ChartView::pointOf(int i) const {
    if (i < 0)
        return {xOf(series_.start), yOf(series_.opening)};
    const Chart::Step& s = series_.steps.at(i);
    return {xOf(s.at), yOf(s.balance)};
}

int ChartView::hoverAt(const QPoint& pos) {
    const QRectF& plot = plotArea();
    int found = -1;
    if (plot.adjusted(-kHoverPixels, -kHoverPixels, kHoverPixels, kHoverPixels).contains(pos)) {
        const qint64 ms = std::llround((pos.x() - plot.left()) / plot.width() * spanMs_);
        const double value =
            axis_.low + (plot.bottom() - pos.y()) / plot.height() * (axis_.high - axis_.low);
        const int i = Chart::nearestStep(series_, series_.start.addMSecs(ms), value);
        if (i >= 0 && std::abs(pointOf(i).x() - pos.x()) <= kHoverPixels)
            found = i;
    }
    if (found != hovered_) {
        hovered_ = found;
        update();
    }
    return found;
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    const int i = hoverAt(event->position().toPoint());
    if (i < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(),
                           Chart::tipText(series_.steps.at(i), slName_), this);
}

void ChartView::leaveEvent(QEvent* event) {
    hoverAt(QPoint(-1000, -1000));
    QWidget::leaveEvent(event);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRectF& plot = plotArea();
    drawAxes(painter, plot);
    drawSteps(painter, plot);
}

void ChartView::drawAxes(QPainter& painter, const QRectF& plot) const {
    const QFontMetrics fm = fontMetrics();
    painter.setPen(QPen(kGrid, 1));
    for (double v : axis_.ticks)
        painter.drawLine(QLineF(plot.left(), yOf(v), plot.right(), yOf(v)));
    const int most = std::max(2, static_cast<int>(plot.width() / 90));
    const QVector<Chart::TimeTick> times = Chart::timeTicks(series_.start, series_.end, most);
    for (const Chart::TimeTick& t : times)
        painter.drawLine(QLineF(xOf(t.at), plot.top(), xOf(t.at), plot.bottom()));
    painter.setPen(Qt::black);
    if (axis_.low < 0 && axis_.high > 0)
        painter.drawLine(QLineF(plot.left(), yOf(0), plot.right(), yOf(0)));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    for (double v : axis_.ticks) {
        const QString text = NumStr(v);
        painter.drawText(
            QPointF(plot.left() - 8 - fm.horizontalAdvance(text), yOf(v) + fm.ascent() / 2.0 - 1),
            text);
    }
    for (const Chart::TimeTick& t : times)
        painter.drawText(
            QPointF(xOf(t.at) - fm.horizontalAdvance(t.label) / 2.0, plot.bottom() + fm.height()),
            t.label);
    // The heading, then the legend above the plot.
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(plot.left(), 0, width() - plot.left(), fm.height() * 1.6),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(bold).elidedText(heading_, Qt::ElideRight,
                                                   static_cast<int>(width() - plot.left())));
    painter.setFont(font());
    double x = plot.left();
    const double y = fm.height() * 2.6;
    painter.setRenderHint(QPainter::Antialiasing);
    const auto legend = [&](const QColor& c, bool up, const QString& text) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(c);
        painter.drawPolygon(triangle(QPointF(x + kMark, y - fm.ascent() / 3.0), up));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x + 3 * kMark, y), text);
        x += 3 * kMark + fm.horizontalAdvance(text) + 18;
    };
    legend(kUp, true, QStringLiteral("增加"));
    legend(kDown, false, QStringLiteral("减少"));
    painter.setPen(QPen(kLine, 2));
    painter.drawLine(QLineF(x, y - fm.ascent() / 3.0, x + 20, y - fm.ascent() / 3.0));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(x + 26, y), slName_);
}

void ChartView::drawSteps(QPainter& painter, const QRectF& plot) const {
    // Level lines in the line colour; each step's rise or fall in the colour of an increase or
    // a decrease, so dense steps stay marked where triangles would only pile up.
    const int n = static_cast<int>(series_.steps.size());
    QVector<QLineF> levels, ups, downs;
    levels.reserve(n + 1);
    QPointF from = pointOf(-1);
    for (int i = 0; i < n; ++i) {
        const QPointF at = pointOf(i);
        levels.append(QLineF(from, QPointF(at.x(), from.y())));
        (series_.steps.at(i).change >= 0 ? ups : downs)
            .append(QLineF(QPointF(at.x(), from.y()), at));
        from = at;
    }
    levels.append(QLineF(from, QPointF(plot.right(), from.y())));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kLine, 2));
    painter.drawLines(levels);
    painter.setPen(QPen(kUp, 2));
    painter.drawLines(ups);
    painter.setPen(QPen(kDown, 2));
    painter.drawLines(downs);
    if (n > 0 && plot.width() / n >= 3 * kMark) {
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < n; ++i) {
            const bool up = series_.steps.at(i).change >= 0;
            painter.setBrush(up ? kUp : kDown);
            painter.drawPolygon(triangle(pointOf(i), up));
        }
    }
    if (hovered_ >= 0 && hovered_ < n) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 1.5));
        painter.drawEllipse(pointOf(hovered_), kMark + 3, kMark + 3);
    }
}

ZsTu::ZsTu(const Chart::Series& series, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ZsTu"));
    setWindowTitle(Chart::caption(MainBas::ItemName, series.item));
    view = new ChartView(series, MainBas::SlName, Chart::heading(MainBas::ItemName, series), this);
    CmdSave = new QPushButton(QStringLiteral("保存图片"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdClose = new QPushButton(QStringLiteral("返 回"), this);
    CmdClose->setObjectName(QStringLiteral("CmdClose"));
    for (QPushButton* b : {CmdSave, CmdClose})
        b->setAutoDefault(false);
    connect(CmdSave, &QPushButton::clicked, this, &ZsTu::savePicture);
    connect(CmdClose, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdClose);
    auto* all = new QVBoxLayout(this);
    all->addWidget(view, 1);
    all->addLayout(buttons);
    resize(960, 560);
}

QImage ZsTu::picture() const {
    QImage image = view->grab().toImage();
    image.setText(QStringLiteral("Title"), view->heading());
    return image;
}

void ZsTu::savePicture() {
    const QString path = SavePngDialog(windowTitle());
    if (path.isEmpty())
        return;
    if (!picture().save(path, "PNG"))
        Msg::info(QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(path),
                  QStringLiteral("保存失败"));
}
