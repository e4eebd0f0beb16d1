#pragma once
// The chart window ZsTu: one item's quantity over the journal's period as a step line, the
// values of a step under the pointer, and saving the picture.

#include "reports/chartseries.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

class QPushButton;

// The chart itself: axes, grid, the step line and a mark at every step.
class ChartView : public QWidget {
    Q_OBJECT
public:
    // `heading` names the item and the period above the plot, so a saved picture says what
    // it shows.
    ChartView(Chart::Series series, QString slName, QString heading, QWidget* parent);

    const Chart::Series& series() const { return series_; }
    const Chart::Axis& axis() const { return axis_; }
    const QString& heading() const { return heading_; }
    // Where step `i` is drawn (-1: the opening at the period's start), in widget pixels.
    QPointF pointOf(int i) const;
    // The step under the pointer at `pos`, or -1; it is also highlighted.
    int hoverAt(const QPoint& pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The plot's rectangle, measured again only when the widget's size has changed.
    const QRectF& plotArea() const;
    double xOf(const QDateTime& t) const;
    double yOf(double v) const;
    void drawAxes(QPainter& painter, const QRectF& plot) const;
    void drawSteps(QPainter& painter, const QRectF& plot) const;

    Chart::Series series_;
    QString slName_;
    QString heading_;
    Chart::Axis axis_;
    qint64 spanMs_ = 1;
    int hovered_ = -1;
    mutable QRectF plot_;
    mutable QSize plotFor_;
};

class ZsTu : public QDialog {
    Q_OBJECT
public:
    ZsTu(const Chart::Series& series, QWidget* parent = nullptr);

    // The chart as drawn, for the saved picture.
    QImage picture() const;
    void savePicture();

    ChartView* view;
    QPushButton* CmdSave;
    QPushButton* CmdClose;
};
