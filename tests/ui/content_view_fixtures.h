#pragma once

#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QMetaProperty>
#include <QObject>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::testing {

inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Byte counts of one generated event folder.
inline constexpr std::int64_t kOriginalBytes = 1000;
inline constexpr std::int64_t kRenderBytes = 2000 + 100; // High Quality Media + Peaks Data
inline constexpr std::int64_t kProxyBytes = 3000;
inline constexpr std::int64_t kOptimizedBytes = 4000;
inline constexpr std::int64_t kAnalysisBytes = 500;
inline constexpr std::int64_t kLibraryRootBytes = 50;

struct LibraryContents {
    int events = 2;
    bool render = true;
    bool proxy = true;
    bool optimized = true;
    bool analysis = true;
};

// A library laid out as Final Cut Pro writes one: event folders with Original Media, Render
// Files (with their own "High Quality Media"), Transcoded Media and Analysis Files.
inline std::string makeLibrary(const std::string& path, const LibraryContents& contents = {}) {
    makeDirs(path);
    writeFile(path + "/CurrentVersion.flexolibrary", kLibraryRootBytes);
    for (int e = 1; e <= contents.events; ++e) {
        const std::string event = path + "/Event " + std::to_string(e);
        makeDirs(event + "/Original Media");
        writeFile(event + "/Original Media/clip.mov", kOriginalBytes);
        if (contents.render) {
            makeDirs(event + "/Render Files/High Quality Media");
            makeDirs(event + "/Render Files/Peaks Data");
            writeFile(event + "/Render Files/High Quality Media/render.mov", 2000);
            writeFile(event + "/Render Files/Peaks Data/peaks", 100);
        }
        if (contents.proxy) {
            makeDirs(event + "/Transcoded Media/Proxy Media");
            writeFile(event + "/Transcoded Media/Proxy Media/clip.mov", kProxyBytes);
        }
        if (contents.optimized) {
            makeDirs(event + "/Transcoded Media/High Quality Media");
            writeFile(event + "/Transcoded Media/High Quality Media/clip.mov", kOptimizedBytes);
        }
        if (contents.analysis) {
            makeDirs(event + "/Analysis Files/Motion Analysis");
            writeFile(event + "/Analysis Files/Motion Analysis/clip.dat", kAnalysisBytes);
        }
    }
    return path;
}

// Every regular file below `root`, as paths relative to it, sorted.
inline std::vector<std::string> filesBelow(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

using window_testing::exists;

// Counts the change signals of every state field of an object, by property name.
class ChangeLog {
  public:
    explicit ChangeLog(QObject* object) {
        const QMetaObject* meta = object->metaObject();
        // Properties that share a signal are logged under the first one's name.
        std::set<int> watched;
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            QMetaProperty property = meta->property(i);
            // Whether a stop is possible follows the runs; the stop tests check it themselves.
            if (QByteArray(property.name()).startsWith("canStop")) continue;
            if (property.hasNotifySignal() && watched.insert(property.notifySignalIndex()).second)
                spies.emplace(property.name(), std::make_unique<QSignalSpy>(object, property.notifySignal()));
        }
        spies.emplace("fcpBundles", std::make_unique<QSignalSpy>(object, SIGNAL(fcpBundlesChanged())));
    }

    // Names of the fields whose signal fired since the last call, each once, sorted.
    QStringList take() {
        QStringList names;
        for (auto& [name, spy] : spies) {
            if (!spy->isEmpty()) names << name;
            spy->clear();
        }
        return names;
    }

    // How often one field's signal fired since the last take().
    [[nodiscard]] qsizetype count(const QString& name) const { return spies.at(name)->size(); }

  private:
    std::map<QString, std::unique_ptr<QSignalSpy>> spies;
};

// The chooser and desktop doubles the window tests use as well.
using window_testing::RecordingDesktop;
using window_testing::ScriptedChooser;

} // namespace velmora::testing
