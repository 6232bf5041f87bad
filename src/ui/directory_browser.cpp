#include "ui/directory_browser.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace velmora {

DirectoryBrowser::DirectoryBrowser(const QString& start, QObject* parent) : QObject(parent) {
    if (!go(start)) (void)go(QDir::rootPath());
}

bool DirectoryBrowser::go(const QString& path) {
    QString wanted = path.trimmed();
    if (wanted.isEmpty()) return false;
    if (wanted == QLatin1String("~") || wanted.startsWith(QLatin1String("~/")))
        wanted = QDir::homePath() + wanted.mid(1);
    const QString absolute =
        QDir::cleanPath(QDir(current.isEmpty() ? QDir::rootPath() : current).absoluteFilePath(wanted));
    const QFileInfo info(absolute);
    if (!info.isDir()) return false;
    QDir dir(absolute);
    if (!dir.isReadable()) return false;
    QStringList found = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(found.begin(), found.end(), collator);
    current = absolute;
    names = found;
    emit folderChanged();
    return true;
}

bool DirectoryBrowser::goUp() {
    if (current == QDir::rootPath()) return false;
    return go(QFileInfo(current).path());
}

QString DirectoryBrowser::pathOf(const QString& name) const {
    return current.endsWith(QLatin1Char('/')) ? current + name : current + QLatin1Char('/') + name;
}

} // namespace velmora
