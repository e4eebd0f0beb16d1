#pragma once
// The per-user settings store: texts addressed by application, section and key, kept in one
// INI file in the user's config folder. Any text is safe as any of the three names.

#include <QHash>
#include <QString>

namespace Settings {

// The store's file; tests point it at a temporary file, a second store stands for a second
// computer.
QString filePath();
void setFilePath(const QString& path); // empty: the default file in the config folder
QString defaultFilePath();

QString GetSetting(const QString& app, const QString& section, const QString& key);
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);
// Removes every key of a section.
void DeleteSection(const QString& app, const QString& section);
// One section of another store of the same layout, read only (a system-wide file): its keys and
// values, nothing else of the file; empty when the file or the section is not there.
QHash<QString, QString> GetSectionFrom(const QString& file, const QString& app,
                                       const QString& section);

// The application name of every setting but the per-operator quantity display.
inline const QString kApp = QStringLiteral("Zelvo云记账");

} // namespace Settings
