#include "app/loglist/LogSettings.h"

#include "qsl/Contact.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace loglist {

namespace {

const QString kLastLog = QStringLiteral("ContactList/LastLog");
const QString kLastFolder = QStringLiteral("ContactList/LastFolder");
const QString kDatePattern = QStringLiteral("ContactList/DatePattern");

// A settings object is made for each access, so every value is on disk as soon as it is set
// and a second program running meanwhile sees it.
QSettings Open() {
    return QSettings(QString::fromStdString(LogSettings::FilePath()), QSettings::IniFormat);
}

std::string Read(const QString& key) {
    return Open().value(key).toString().toStdString();
}

} // namespace

std::string LogSettings::FilePath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("velmora/window.conf")).toStdString();
}

std::string LogSettings::LastLog() const {
    return Read(kLastLog);
}

std::string LogSettings::LastFolder() const {
    return Read(kLastFolder);
}

void LogSettings::SetLastLog(const std::string& path) {
    const QFileInfo file(QString::fromStdString(path));
    QSettings settings = Open();
    settings.setValue(kLastLog, file.absoluteFilePath());
    settings.setValue(kLastFolder, file.absolutePath());
}

std::string LogSettings::DatePattern() const {
    const std::string pattern = Read(kDatePattern);
    return qsl::IsDatePattern(pattern) ? pattern : std::string(qsl::kDefaultDateFormat);
}

void LogSettings::SetDatePattern(const std::string& pattern) {
    Open().setValue(kDatePattern, QString::fromStdString(pattern));
}

} // namespace loglist
