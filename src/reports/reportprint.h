#pragma once
// Putting a printable report on paper: the page layout drawn on a printer or a PDF file, the
// print preview, the PDF export, and the two buttons a report window shows for them.

#include "reports/printable.h"

#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QPushButton;
class QWidget;

namespace ReportPrint {

// A4, portrait or landscape as the columns need, with the page margins.
void setupPrinter(QPrinter& printer, const Print::Printable& p);
// Told before the first page (0 of the pages) and after each page is drawn.
using Progress = std::function<void(int done, int pages)>;

// Draws every page of `p` on `device`; false when it cannot be painted on (a file that cannot
// be written).
bool paint(const Print::Printable& p, QPagedPaintDevice* device, const Progress& progress = {});
bool writePdf(const Print::Printable& p, const QString& path, const Progress& progress = {});

// The print preview, from which the user prints. While pages are drawn `parent` shows its wait
// banner (CmdWait) and the progress bar PrintProgress that makeButtons gave it.
void printReport(QWidget* parent, const Print::Printable& p);
// Asks for a file named after `caption`, writes the PDF under `window`'s wait banner and
// progress bar and offers to open it.
void exportPdf(QWidget* window, const Print::Printable& p, const QString& caption);

struct Buttons {
    QPushButton* print; // CmdPrint "打 印"
    QPushButton* pdf;   // CmdPdf "导出PDF"
    void setEnabled(bool on) const;
};
// The two buttons of `window`, disabled until a listing is shown, and its hidden progress bar. A
// click asks for the export right, takes the shown listing from `source` and heads it with the
// window's caption.
Buttons makeButtons(QWidget* window, std::function<Print::Printable()> source);

} // namespace ReportPrint
