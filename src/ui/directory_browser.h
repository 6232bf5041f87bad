#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace velmora {

// What the window's own directory chooser shows: one folder and the folders inside it. The
// folder is always one the user went to (by double-click, by "上一级" or by typing its path),
// so choosing returns exactly what the path field says.
class DirectoryBrowser : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the directory chooser gives its dialog one")
    Q_PROPERTY(QString folder READ folder NOTIFY folderChanged)
    // Names of the folders inside `folder`, hidden ones left out, sorted as a person reads.
    Q_PROPERTY(QStringList subfolders READ subfolders NOTIFY folderChanged)

  public:
    explicit DirectoryBrowser(const QString& start, QObject* parent = nullptr);

    [[nodiscard]] QString folder() const { return current; }
    [[nodiscard]] QStringList subfolders() const { return names; }

    // Goes to `path` (absolute, or relative to the current folder; "~" is the home) when it
    // is a directory that can be listed; false otherwise, and nothing changes.
    Q_INVOKABLE bool go(const QString& path);
    Q_INVOKABLE bool goUp();
    // The full path of a subfolder of the current folder.
    Q_INVOKABLE [[nodiscard]] QString pathOf(const QString& name) const;

  signals:
    void folderChanged();

  private:
    QString current;
    QStringList names;
};

} // namespace velmora
