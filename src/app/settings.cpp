#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

QString customPath;
std::unique_ptr<QSettings> store;

// A name becomes one path element: "/" and "\" would nest groups and "%" is the escape itself.
// The empty name gets a form no other name can take.
QString element(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("%");
    // QSettings writes "general" in any case under the one header [%General], and a big file
    // reads those back as one section; a "%G" form that no escaped name can take keeps them apart.
    if (name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("%G") + name;
    QString out = name;
    out.replace(QLatin1Char('%'), QStringLiteral("%25"));
    out.replace(QLatin1Char('/'), QStringLiteral("%2F"));
    out.replace(QLatin1Char('\\'), QStringLiteral("%5C"));
    return out;
}

QString address(const QString& app, const QString& section, const QString& key) {
    return element(app) + QLatin1Char('/') + element(section) + QLatin1Char('/') + element(key);
}

void restrictToOwner(const QString& path) {
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QSettings& open() {
    const QString path = Settings::filePath();
    if (!store || store->fileName() != path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!QFileInfo::exists(path)) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.close();
        }
        restrictToOwner(path);
        store = std::make_unique<QSettings>(path, QSettings::IniFormat);
    }
    return *store;
}

} // namespace

namespace Settings {

QString defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/zelvo.ini");
}

QString filePath() {
    return customPath.isEmpty() ? defaultFilePath() : customPath;
}

void setFilePath(const QString& path) {
    customPath = path;
    store.reset();
}

QString GetSetting(const QString& app, const QString& section, const QString& key) {
    return open().value(address(app, section, key)).toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value) {
    QSettings& s = open();
    s.setValue(address(app, section, key), value);
    s.sync();
    restrictToOwner(s.fileName());
}

void DeleteSection(const QString& app, const QString& section) {
    QSettings& s = open();
    s.remove(element(app) + QLatin1Char('/') + element(section));
    s.sync();
}

QHash<QString, QString> GetSectionFrom(const QString& file, const QString& app,
                                       const QString& section) {
    QHash<QString, QString> out;
    if (!QFileInfo::exists(file))
        return out;
    QSettings other(file, QSettings::IniFormat);
    other.beginGroup(element(app) + QLatin1Char('/') + element(section));
    for (const QString& key : other.childKeys())
        out.insert(key, other.value(key).toString());
    return out;
}

} // namespace Settings
