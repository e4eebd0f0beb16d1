#include "reports/reportprint.h"

#include "admin/rights.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "reports/reportwidgets.h"

#include <QApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ReportPrint {

namespace {

// Latin letters and digits from a Latin font, Chinese from the first of these that is there.
// Fonts that share one glyph between an ideograph and its Kangxi radical (Noto CJK) come last:
// the PDF would read back 金 as the radical ⾦, and a search for it would fail.
const QStringList kFamilies = {QStringLiteral("DejaVu Sans"),
                               QStringLiteral("Arial"),
                               QStringLiteral("WenQuanYi Micro Hei"),
                               QStringLiteral("Microsoft YaHei"),
                               QStringLiteral("SimSun"),
                               QStringLiteral("Noto Sans CJK SC")};

QFont font(double points, bool bold = false) {
    QFont f;
    f.setFamilies(kFamilies);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The sum of the characters' advances, without shaping: a long report has a million cells.
// Exact for digits and Chinese; kerning may make Latin text a hair narrower.
double quickWidth(const QString& text, const QFontMetricsF& fm, QHash<char16_t, double>& cache) {
    double w = 0;
    for (const QChar c : text) {
        if (c.isSurrogate())
            return fm.horizontalAdvance(text);
        auto at = cache.constFind(c.unicode());
        if (at == cache.cend())
            at = cache.insert(c.unicode(), fm.horizontalAdvance(c));
        w += *at;
    }
    return w;
}

constexpr int kFilterFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;

// A cell is one line of the table: line breaks and tabs stored by other programs are blanks.
QString oneLine(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            QString flat = text;
            for (QChar& f : flat)
                if (f.unicode() < 0x20 || f == QChar::LineSeparator ||
                    f == QChar::ParagraphSeparator)
                    f = QLatin1Char(' ');
            return flat;
        }
    return text;
}

// The longest start of `text` that fits `room` with "…" after it. Qt's own eliding gives up
// the ellipsis (and with it the sign that something is missing) in a cell too narrow for it.
QString elided(const QString& text, const QFontMetricsF& fm, double room) {
    const QString mark(QChar(0x2026));
    QString shown = fm.elidedText(text, Qt::ElideRight, room);
    if (shown.endsWith(mark))
        return shown;
    for (qsizetype n = text.size() - 1; n > 0; --n) {
        shown = text.left(n) + mark;
        if (fm.horizontalAdvance(shown) <= room)
            return shown;
    }
    return mark;
}

// Qt's PDF writer takes a large buffer for every page and frees it again; glibc hands such
// memory back to the system each time and faults it in anew, which costs a long report nearly
// half its time. While a report is drawn, freed memory stays with the program.
class KeepFreedMemory {
public:
    KeepFreedMemory() {
#ifdef __GLIBC__
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    }
    // Back to values like those glibc's own adjustment reaches with buffers of a few MB (a
    // window's picture), and the report's memory returned.
    ~KeepFreedMemory() {
#ifdef __GLIBC__
        mallopt(M_TRIM_THRESHOLD, 8 << 20);
        mallopt(M_MMAP_THRESHOLD, 4 << 20);
        malloc_trim(0);
#endif
    }
    KeepFreedMemory(const KeepFreedMemory&) = delete;
    KeepFreedMemory& operator=(const KeepFreedMemory&) = delete;
};

// Where everything of one page goes, in device pixels.
class Layout {
public:
    Layout(const Print::Printable& p, QPagedPaintDevice* device)
        : p_(p), body_(font(9)), bold_(font(9, true)), titleFont_(font(15, true)), small_(font(8)),
          fmBody_(body_, device), fmBold_(bold_, device), fmTitle_(titleFont_, device),
          fmSmall_(small_, device) {
        width_ = device->width();
        pen_ = QPen(Qt::black, device->logicalDpiY() / 72.0 * 0.4);
        height_ = device->height();
        rowH_ = fmBody_.height() * 1.7;
        pad_ = fmBody_.horizontalAdvance(QLatin1Char('0')) * 0.6;
        titleH_ = fmTitle_.height() * 1.8;
        // A long filter line goes on as many lines as it needs.
        const QRectF filter =
            fmBody_.boundingRect(QRectF(0, 0, width_, height_ / 2), kFilterFlags, p.filterLine);
        filterH_ = std::max(fmBody_.height() * 1.8, filter.height() + fmBody_.height() * 0.8);
        footH_ = fmSmall_.height() * 2.2;
        double x = 0;
        const QVector<double> widths = Print::columnWidths(p, width_, [this](const QString& head) {
            // A hair over the head's advance, so that rounding never cuts it to "…".
            return fmBold_.horizontalAdvance(head) * 1.02 + 2 * pad_ + 1;
        });
        for (double w : widths) {
            edges_.append(x);
            x += w;
        }
        edges_.append(width_);
        const double table = height_ - footH_ - rowH_;
        firstRows_ = static_cast<int>((table - titleH_ - filterH_) / rowH_);
        laterRows_ = static_cast<int>(table / rowH_);
        pages_ = Print::pageCount(static_cast<int>(p.rows.size()), !p.totals.isEmpty(), firstRows_,
                                  laterRows_);
    }

    void paintAll(QPainter& painter, QPagedPaintDevice* device, const Progress& progress) {
        int next = 0;
        const int lines = static_cast<int>(p_.rows.size()) + (p_.totals.isEmpty() ? 0 : 1);
        if (progress)
            progress(0, pages_);
        for (int page = 1; page <= pages_; ++page) {
            if (page > 1)
                device->newPage();
            double y = 0;
            if (page == 1)
                y = heading(painter);
            const int count = std::min(lines - next, page == 1 ? firstRows_ : laterRows_);
            table(painter, y, next, count);
            foot(painter, page);
            next += count;
            if (progress)
                progress(page, pages_);
        }
    }

private:
    double heading(QPainter& painter) {
        painter.setFont(titleFont_);
        painter.drawText(QRectF(0, 0, width_, titleH_), Qt::AlignHCenter | Qt::AlignVCenter,
                         p_.title);
        painter.setFont(body_);
        painter.drawText(QRectF(0, titleH_, width_, filterH_), kFilterFlags, p_.filterLine);
        return titleH_ + filterH_;
    }

    // The heads at `top`, then `count` lines from line `first` (the totals line after the rows).
    void table(QPainter& painter, double top, int first, int count) {
        const double bottom = top + rowH_ * (count + 1);
        painter.fillRect(QRectF(0, top, width_, rowH_), QColor(0xe8, 0xe8, 0xe8));
        QStringList heads;
        for (const Print::Column& c : p_.columns)
            heads.append(c.head);
        painter.setFont(bold_);
        row(painter, fmBold_, boldWidths_, top, heads, true);
        painter.setFont(body_);
        for (int i = 0; i < count; ++i) {
            const int at = first + i;
            const double y = top + rowH_ * (i + 1);
            if (at < p_.rows.size()) {
                row(painter, fmBody_, bodyWidths_, y, p_.rows.at(at), false);
            } else {
                painter.fillRect(QRectF(0, y, width_, rowH_), QColor(0xf4, 0xf4, 0xf4));
                painter.setFont(bold_);
                row(painter, fmBold_, boldWidths_, y, p_.totals, false);
                painter.setFont(body_);
            }
        }
        QVector<QLineF> rules;
        rules.reserve(count + edges_.size() + 2);
        for (int i = 0; i <= count + 1; ++i)
            rules.append(QLineF(0, top + rowH_ * i, width_, top + rowH_ * i));
        for (double x : edges_)
            rules.append(QLineF(x, top, x, bottom));
        painter.setPen(pen_);
        painter.drawLines(rules);
    }

    void row(QPainter& painter, const QFontMetricsF& fm, QHash<char16_t, double>& widths, double y,
             const QStringList& cells, bool heads) {
        const double baseline = y + (rowH_ - fm.height()) / 2 + fm.ascent();
        for (int c = 0; c < p_.columns.size() && c < cells.size(); ++c) {
            if (cells.at(c).isEmpty())
                continue;
            const QString text = oneLine(cells.at(c));
            const double room = std::max(0.0, edges_[c + 1] - edges_[c] - 2 * pad_);
            double advance = quickWidth(text, fm, widths);
            QString shown = text;
            if (advance > room * 0.97 && fm.horizontalAdvance(text) > room) {
                shown = elided(text, fm, room);
                advance = fm.horizontalAdvance(shown);
            }
            double x = edges_[c] + pad_;
            if (heads)
                x = edges_[c] + (edges_[c + 1] - edges_[c] - advance) / 2;
            else if (p_.columns.at(c).align == Print::Align::Right)
                x = edges_[c + 1] - pad_ - advance;
            painter.drawText(QPointF(x, baseline), shown);
        }
    }

    void foot(QPainter& painter, int page) {
        const double top = height_ - footH_;
        painter.setPen(pen_);
        painter.drawLine(QLineF(0, top + footH_ * 0.2, width_, top + footH_ * 0.2));
        painter.setFont(small_);
        const QRectF area(0, top + footH_ * 0.2, width_, footH_ * 0.8);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, Print::footLeft(p_));
        painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter, Print::pageText(page, pages_));
        painter.setFont(body_);
    }

    const Print::Printable& p_;
    QFont body_, bold_, titleFont_, small_;
    QFontMetricsF fmBody_, fmBold_, fmTitle_, fmSmall_;
    double width_ = 0, height_ = 0, rowH_ = 0, pad_ = 0, titleH_ = 0, filterH_ = 0, footH_ = 0;
    QPen pen_;
    QHash<char16_t, double> bodyWidths_, boldWidths_;
    QVector<double> edges_;
    int firstRows_ = 1, laterRows_ = 1, pages_ = 1;
};

} // namespace

void setupPrinter(QPrinter& printer, const Print::Printable& p) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(p.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(12, 12, 12, 10), QPageLayout::Millimeter);
    printer.setDocName(p.title);
}

bool paint(const Print::Printable& p, QPagedPaintDevice* device, const Progress& progress) {
    const KeepFreedMemory keep;
    QPainter painter;
    if (!painter.begin(device))
        return false;
    Layout layout(p, device);
    layout.paintAll(painter, device, progress);
    return painter.end();
}

bool writePdf(const Print::Printable& p, const QString& path, const Progress& progress) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    setupPrinter(printer, p);
    return paint(p, &printer, progress);
}

namespace {

// The window's wait banner and the progress bar under it while the pages are drawn: a long
// report takes seconds. The window takes no input meanwhile; it only repaints.
class PrintWait {
public:
    PrintWait(QWidget* window, const QString& caption) {
        banner_ = window->findChild<QPushButton*>(QStringLiteral("CmdWait"));
        bar_ = window->findChild<QProgressBar*>(QStringLiteral("PrintProgress"));
        if (banner_ && bar_) {
            const QRect b = banner_->geometry();
            bar_->setGeometry(b.x(), b.bottom() + 1, b.width(), bar_->sizeHint().height());
            bar_->setRange(0, 0);
            bar_->show();
            bar_->raise();
            Report::showWait(banner_, caption);
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~PrintWait() {
        QApplication::restoreOverrideCursor();
        if (banner_ && bar_) {
            banner_->hide();
            bar_->hide();
        }
    }
    PrintWait(const PrintWait&) = delete;
    PrintWait& operator=(const PrintWait&) = delete;

    Progress progress() {
        return [this](int done, int pages) {
            if (!bar_ || (bar_->maximum() == pages && bar_->value() == done))
                return;
            bar_->setRange(0, pages);
            bar_->setValue(done);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
    }

private:
    QPushButton* banner_ = nullptr;
    QProgressBar* bar_ = nullptr;
};

} // namespace

void printReport(QWidget* parent, const Print::Printable& p) {
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer, p);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(p.title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&p, parent](QPrinter* target) {
                         PrintWait wait(parent, QStringLiteral("正在准备打印，请稍候……"));
                         paint(p, target, wait.progress());
                     });
    preview.exec();
}

void exportPdf(QWidget* window, const Print::Printable& p, const QString& caption) {
    const QString path = SavePdfDialog(caption);
    if (path.isEmpty())
        return;
    bool written = false;
    {
        PrintWait wait(window, QStringLiteral("正在生成PDF文件，请稍候……"));
        written = writePdf(p, path, wait.progress());
    }
    if (!written) {
        Msg::info(QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(path),
                  QStringLiteral("导出失败"));
        return;
    }
    if (Msg::box(QStringLiteral("数据导出完成！\n\n是否需要打开这个PDF文件？"),
                 QMessageBox::Information, QString(),
                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::No)
        OpenExportedFile(path);
}

void Buttons::setEnabled(bool on) const {
    print->setEnabled(on);
    pdf->setEnabled(on);
}

Buttons makeButtons(QWidget* window, std::function<Print::Printable()> source) {
    Buttons b{new QPushButton(QStringLiteral("打 印"), window),
              new QPushButton(QStringLiteral("导出PDF"), window)};
    b.print->setObjectName(QStringLiteral("CmdPrint"));
    b.pdf->setObjectName(QStringLiteral("CmdPdf"));
    for (QPushButton* button : {b.print, b.pdf}) {
        button->setAutoDefault(false);
        button->setEnabled(false);
    }
    const auto shown = [window, source] {
        Print::Printable p = source();
        Print::setHeading(p, window->windowTitle());
        return p;
    };
    QObject::connect(b.print, &QPushButton::clicked, window, [window, shown] {
        if (Report::requireRight(Rights::Export))
            printReport(window, shown());
    });
    QObject::connect(b.pdf, &QPushButton::clicked, window, [window, shown] {
        if (Report::requireRight(Rights::Export))
            exportPdf(window, shown(), window->windowTitle());
    });
    auto* progress = new QProgressBar(window);
    progress->setObjectName(QStringLiteral("PrintProgress"));
    progress->hide();
    return b;
}

} // namespace ReportPrint
