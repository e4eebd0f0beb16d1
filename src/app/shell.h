#pragma once
// The desktop's services: the save dialog for exports, opening files and web addresses, and
// letting pending window messages run. In test mode (Msg::setTestMode) nothing reaches the
// desktop: the save dialog takes a queued name and opened addresses are recorded.

#include <QString>
#include <QStringList>

// Each save dialog proposes a file name made of the open ledger's name, `titlePrefix` (what is
// saved) and the date (exportFileName), in the documents folder.
QString SaveCsvDialog(const QString& titlePrefix);
// The same dialog for a PDF file or a PNG picture; these replace a file chosen again.
QString SavePdfDialog(const QString& titlePrefix);
QString SavePngDialog(const QString& titlePrefix);
// The open dialog of the batch import: a CSV or text file, or an empty text when cancelled.
QString OpenImportDialog(const QString& title);
// The save dialog of 备份数据, starting with `proposedName`, and the open dialog for a copy.
QString SaveBackupDialog(const QString& proposedName);
QString OpenBackupDialog(const QString& title);
void OpenExportedFile(const QString& path);
void OpenUrl(const QString& address);

// Lets pending window messages run, `times` times over.
void DoEvents(int times = 1);

// The folder the save dialog starts in.
QString exportStartFolder();
// ".csv" appended unless the name already ends so, in any letter case.
QString withCsvSuffix(const QString& path);
// `suffix` (".pdf") appended unless the name already ends so, in any letter case; the path is
// cut at a NUL.
QString withSuffix(const QString& path, const QString& suffix);

// Shows the wait cursor while the access layer talks to the server.
void installWaitCursor();

namespace Shell {
void setNextSaveFileName(const QString& path); // a null QString answers Cancel
void setNextOpenFileName(const QString& path); // the same for the open dialog
QString lastProposedName();                    // the file name the last save dialog proposed
QStringList openedAddresses();
void clearOpened();
} // namespace Shell
