// ContentView driven step by step: every background and main-queue item runs when the test
// says so, and each step's effect on the thirteen fields and on disk is checked.
#include "content_view_fixtures.h"
#include "discovery/locations.h"
#include "library/format_size.h"
#include "support/step_dispatch.h"
#include "ui/content_view.h"

#include <QtTest>

using namespace velmora;
using namespace velmora::testing;

namespace {

QStringList qList(const std::vector<std::string>& items) {
    QStringList list;
    for (const auto& item : items)
        list << q(item);
    return list;
}

const FCPBundle* findByName(const ContentView& view, const std::string& displayName) {
    for (const auto& bundle : view.fcpBundles())
        if (bundle.displayName == displayName) return &bundle;
    return nullptr;
}

std::vector<Uuid> idsOf(const std::vector<FCPBundle>& bundles) {
    std::vector<Uuid> ids;
    for (const FCPBundle& bundle : bundles)
        ids.push_back(bundle.id);
    return ids;
}

// Bytes of a generated library with `events` full event folders.
constexpr std::int64_t fullLibrarySize(int events) {
    return kLibraryRootBytes +
           events * (kOriginalBytes + kRenderBytes + kProxyBytes + kOptimizedBytes + kAnalysisBytes);
}

// One view with its step dispatch and fakes.
struct Harness {
    StepDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view{dispatch, chooser, desktop};
    ChangeLog log{&view};

    // Chooses a location and publishes its list.
    void open(const std::string& location) {
        view.selectLocation(q(location));
        dispatch.drainAll();
        log.take();
    }

    void select(const std::string& displayName) {
        const FCPBundle* bundle = findByName(view, displayName);
        QVERIFY2(bundle != nullptr, displayName.c_str());
        view.setSelectedBundleID(q(bundle->id.toString()));
        log.take();
    }
};

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

  private slots:
    void roadOfOneCleaning();
    void actionsWithoutSelectionOrLocationChangeNothing();
    void categoryRunsTextsAndWhatTheyRemove();
    void everyRunReportsWhatHadToStay();
    void wholeLocationProgressSequences();
    void wholeLocationOnALocationWithoutLibrariesAndStrayCounts();
    void overlappingRetrievalsPublishOnlyTheNewest();
    void overlappingCleaningsKeepIsCleaningTrue();
    void listModelTexts();
    void selectedPathComparesUnderCanonicalEquivalence();
};

// From choosing a location to the alert and the rescan behind it.
void ContentViewTest::roadOfOneCleaning() {
    TempDir root;
    const std::string location = root / "Footage";
    makeLibrary(location + "/Wedding.fcpbundle");
    makeLibrary(location + "/Client/Trailer.fcpbundle", {.events = 1});
    Harness h;

    // Appearance fills the location lists and nothing else.
    h.view.loadLocations();
    QCOMPARE(h.view.userDirs(), qList(userDirsFor(homeDirectory())));
    QCOMPARE(h.view.drives(), qList(loadDrives()));
    QVERIFY(h.log.take().contains("userDirs"));
    QCOMPARE(h.dispatch.pendingBackground(), std::size_t(0));

    // 1. Choosing a location sets it and starts a scan.
    h.chooser.answers.push_back(q(location));
    h.view.chooseOtherDirectory();
    QCOMPARE(h.chooser.calls, 1);
    QCOMPARE(h.log.take(), (QStringList{"isRetrieving", "retrievalProgressText", "selectedPath"}));
    QCOMPARE(h.view.selectedPath(), q(location));
    QVERIFY(h.view.isRetrieving());
    QCOMPARE(h.view.retrievalProgressText(), QString("已扫描 0 项 · 找到 0 个资源库"));
    QCOMPARE(h.dispatch.pendingBackground(), std::size_t(1));
    QVERIFY(h.dispatch.runBackground());
    QCOMPARE(h.log.take(), QStringList());
    QVERIFY(h.view.fcpBundles().empty());

    // 2. The result arrives on the main queue.
    QCOMPARE(h.dispatch.pendingMain(), std::size_t(1));
    QVERIFY(h.dispatch.runMain());
    QCOMPARE(h.log.take(),
             (QStringList{"fcpBundles", "isRetrieving", "listedLocation", "retrievalProgressText"}));
    const FCPBundle wedding = *findByName(h.view, "Wedding.fcpbundle");
    // The line under the header names the listed location, its libraries and what they free.
    QCOMPARE(h.view.listedLocation(), q(location));
    QCOMPARE(h.view.locationSummary(),
             q(location + " · 2 个资源库 · 共 " + formatSize(fullLibrarySize(2) + fullLibrarySize(1)) +
               " · 可清理 " +
               formatSize(3 * (kRenderBytes + kProxyBytes + kOptimizedBytes + kAnalysisBytes))));
    QCOMPARE(h.view.emptyListText(), QString());

    // 3. Selecting a row writes selectedBundleID and nothing else; the proxy run starts.
    h.view.setSelectedBundleID(q(wedding.id.toString()));
    QCOMPARE(h.log.take(), QStringList{"selectedBundleID"});
    QCOMPARE(h.view.selectedBundle()->path, wedding.path);
    h.view.cleanCategory(QString("proxy"));
    QCOMPARE(h.log.take(), (QStringList{"isCleaning", "progressText"}));
    QCOMPARE(h.view.progressValue(), 0.0);
    QVERIFY(exists(wedding.path + "/Event 1/Transcoded Media/Proxy Media"));

    // 4. The deletion on the background thread touches no field.
    QVERIFY(h.dispatch.runBackground());
    QCOMPARE(h.log.take(), QStringList());
    QVERIFY(!exists(wedding.path + "/Event 1/Transcoded Media/Proxy Media"));

    // 5. The end: cleaning state off, rescan started, alert open, all in one main step.
    QCOMPARE(h.dispatch.pendingMain(), std::size_t(1));
    QVERIFY(h.dispatch.runMain());
    QCOMPARE(h.log.take(), (QStringList{"alertMessage", "isCleaning", "isRetrieving", "retrievalProgressText",
                                        "showAlert"}));
    QCOMPARE(h.view.progressText(), QString("正在清理代理媒体..."));
    QVERIFY(h.view.selectedBundle().has_value()); // the old list is still shown

    // The rescan publishes the new sizes under new ids: nothing is selected any more.
    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QCOMPARE(h.log.take(),
             (QStringList{"fcpBundles", "isRetrieving", "listedLocation", "retrievalProgressText"}));
    const FCPBundle after = *findByName(h.view, "Wedding.fcpbundle");
    QVERIFY(after.id != wedding.id);
    QCOMPARE(h.view.selectedBundleID(), q(wedding.id.toString()));
    QVERIFY(!h.view.selectedBundle().has_value());

    // Dismissing the alert; a press without a matching selection then does nothing.
    h.view.setShowAlert(false);
    QCOMPARE(h.log.take(), QStringList{"showAlert"});
    QCOMPARE(h.view.alertMessage(), QString("已清理代理媒体。"));
    h.view.cleanCategory(CacheCategory::proxy);
    QCOMPARE(h.log.take(), QStringList());
    QCOMPARE(h.dispatch.pendingBackground() + h.dispatch.pendingMain(), std::size_t(0));
}

void ContentViewTest::actionsWithoutSelectionOrLocationChangeNothing() {
    Harness h;
    h.view.cleanCategory(CacheCategory::render);
    h.view.cleanCategory(QString("render"));
    h.view.cleanSelectedLibrary();
    h.view.cleanAllLibraries();
    h.view.retrieveBundles();
    h.view.selectLocation(QString());
    h.view.selectLocation(QString(""));
    h.view.chooseOtherDirectory(); // cancelled
    h.chooser.answers.push_back(QString(""));
    h.view.chooseOtherDirectory();
    QCOMPARE(h.chooser.calls, 2);
    QCOMPARE(h.log.take(), QStringList());
    QCOMPARE(h.dispatch.trace().size(), std::size_t(0));

    // An id that matches no record: the selection holds it, the actions still do nothing.
    const QString stray = q(Uuid::random().toString());
    h.view.setSelectedBundleID(stray);
    QCOMPARE(h.log.take(), QStringList{"selectedBundleID"});
    QCOMPARE(h.view.selectedBundleID(), stray);
    h.view.setSelectedBundleID(stray.toUpper()); // the same id
    QCOMPARE(h.log.take(), QStringList());
    h.view.cleanCategory(CacheCategory::analysis);
    h.view.cleanSelectedLibrary();
    QCOMPARE(h.log.take(), QStringList());
    QCOMPARE(h.dispatch.trace().size(), std::size_t(0));

    // Text that is not an id clears the selection once.
    h.view.setSelectedBundleID("not an id");
    QCOMPARE(h.view.selectedBundleID(), QString());
    QCOMPARE(h.log.take(), QStringList{"selectedBundleID"});
    h.view.setSelectedBundleID(QString());
    QCOMPARE(h.log.take(), QStringList());

    // An unknown category key with a real selection is ignored too.
    TempDir root;
    makeLibrary(root / "A.fcpbundle");
    h.open(root.path());
    h.select("A.fcpbundle");
    h.dispatch.clearTrace();
    h.view.cleanCategory(QString("Render"));
    h.view.cleanCategory(QString("all"));
    QCOMPARE(h.log.take(), QStringList());
    QCOMPARE(h.dispatch.trace().size(), std::size_t(0));
}

// Each category against a library that has its data and one that has none. Run in reverse
// order so that the optimized run meets the render files' own "High Quality Media".
void ContentViewTest::categoryRunsTextsAndWhatTheyRemove() {
    TempDir root;
    const std::string full = makeLibrary(root / "Full.fcpbundle");
    makeLibrary(root / "Bare.fcpbundle",
                {.events = 2, .render = false, .proxy = false, .optimized = false, .analysis = false});
    const std::string whole = makeLibrary(root / "Whole.fcpbundle");
    const std::vector<std::string> fullFiles = filesBelow(full);
    Harness h;
    h.open(root.path());

    // The library run takes all four kinds of the selected library only, and says the same
    // when there was nothing to clean.
    for (const char* library : {"Whole.fcpbundle", "Bare.fcpbundle"}) {
        h.select(library);
        h.view.cleanSelectedLibrary();
        QCOMPARE(h.view.progressText(), QString("正在清理资源库..."));
        h.dispatch.drainAll();
        QCOMPARE(h.view.alertMessage(), QString("已清理选定的资源库。"));
        QVERIFY(h.view.showAlert());
        h.view.setShowAlert(false);
    }
    QCOMPARE(findByName(h.view, "Whole.fcpbundle")->size, kLibraryRootBytes + 2 * kOriginalBytes);
    QCOMPARE(filesBelow(full), fullFiles);

    struct Expect {
        CacheCategory category;
        const char* removed;
        const char* nothing;
        const char* running;
    };
    const Expect table[] = {
        {CacheCategory::analysis, "已清理媒体分析缓存。", "媒体分析缓存中没有需要清理的文件。",
         "正在清理媒体分析缓存..."},
        {CacheCategory::optimized, "已清理优化媒体。", "优化媒体中没有需要清理的文件。",
         "正在清理优化媒体..."},
        {CacheCategory::proxy, "已清理代理媒体。", "代理媒体中没有需要清理的文件。", "正在清理代理媒体..."},
        {CacheCategory::render, "已清理时间线渲染缓存。", "时间线渲染缓存中没有需要清理的文件。",
         "正在清理时间线渲染缓存..."},
    };
    for (const Expect& e : table) {
        const FCPBundle before = *findByName(h.view, "Full.fcpbundle");
        h.select("Full.fcpbundle");
        h.view.cleanCategory(e.category);
        QCOMPARE(h.view.progressText(), QString(e.running));
        h.dispatch.drainAll();
        QCOMPARE(h.view.alertMessage(), QString(e.removed));
        QVERIFY(h.view.showAlert());
        QVERIFY(!h.view.isCleaning());
        const FCPBundle after = *findByName(h.view, "Full.fcpbundle");
        QCOMPARE(after.sizeOf(e.category), std::int64_t(0));
        QCOMPARE(after.size, before.size - before.sizeOf(e.category));
        if (e.category == CacheCategory::optimized) {
            QVERIFY(exists(full + "/Event 1/Render Files/High Quality Media/render.mov"));
            QCOMPARE(after.cacheSize(), before.cacheSize());
        }

        h.view.setShowAlert(false);
        h.select("Bare.fcpbundle");
        h.view.cleanCategory(e.category);
        h.dispatch.drainAll();
        QCOMPARE(h.view.alertMessage(), QString(e.nothing));
        QVERIFY(h.view.showAlert());
        h.view.setShowAlert(false);
    }
    // Only the regenerable data went; the media and the library's own files stay.
    QCOMPARE(filesBelow(whole), filesBelow(full));
    QCOMPARE(filesBelow(full),
             (std::vector<std::string>{"CurrentVersion.flexolibrary", "Event 1/Original Media/clip.mov",
                                       "Event 2/Original Media/clip.mov"}));
    // No category run writes the whole-location progress fields.
    QCOMPARE(h.view.progressValue(), 0.0);
    QCOMPARE(h.view.totalTasks(), qint64(0));
}

// A removal that fails is never reported as done or as nothing to clean: each run names the
// count and the first entry that had to stay, and a location that is not there says so.
void ContentViewTest::everyRunReportsWhatHadToStay() {
    TempDir root;
    const std::string location = root / "Disk";
    const std::string lib = makeLibrary(location + "/Locked.fcpbundle", {.events = 1});
    const std::string event = lib + "/Event 1";
    const std::vector<std::string> locked{event + "/Render Files/Peaks Data/peaks",
                                          event + "/Transcoded Media/Proxy Media/clip.mov",
                                          event + "/Transcoded Media/High Quality Media/clip.mov",
                                          event + "/Analysis Files/Motion Analysis/clip.dat"};
    const ImmutableFiles mark(locked);
    if (!mark.marked()) QSKIP("chattr +i is not supported on the temporary folder's file system");
    writeFile(root / "file", 1);
    const QString why = "：Operation not permitted";

    struct Case {
        const char* run; // a category key, "library" or "location"
        std::string location;
        QString alert;
        std::size_t stopBefore = SIZE_MAX; // the whole-location task before which the stop comes
    };
    const Case table[] = {
        {"render", location, "时间线渲染缓存中有 1 项无法删除。第一个无法删除的是 " + q(locked[0]) + why},
        {"proxy", location, "代理媒体中有 1 项无法删除。第一个无法删除的是 " + q(locked[1]) + why},
        {"optimized", location, "优化媒体中有 1 项无法删除。第一个无法删除的是 " + q(locked[2]) + why},
        {"analysis", location, "媒体分析缓存中有 1 项无法删除。第一个无法删除的是 " + q(locked[3]) + why},
        {"library", location, "选定的资源库中有 4 项无法删除。第一个无法删除的是 " + q(locked[0]) + why},
        {"location", location, "选定目录中有 4 项无法删除。第一个无法删除的是 " + q(locked[0]) + why},
        {"location", root / "gone", "所选目录不存在：" + q(root / "gone")},
        {"location", root / "file", "所选位置不是目录：" + q(root / "file")},
        // Stopped after render files and proxy media: it says both, and counts only those two.
        {"location", location,
         "清理已停止。停止前已删除 0 项。\n选定目录中有 2 项无法删除。第一个无法删除的是 " + q(locked[0]) +
             why,
         2},
    };
    for (const Case& c : table) {
        Harness h;
        h.open(c.location);
        h.dispatch.beforeGroupItem = [&](std::size_t item) {
            if (item == c.stopBefore) h.view.stopCleaning();
        };
        const QString run = c.run;
        // A location that gives no list says why in the list itself, as the alert does, and
        // the line under the header names it without totals.
        if (h.view.fcpBundles().empty()) {
            QCOMPARE(h.view.emptyListText(), c.alert);
            QCOMPARE(h.view.locationSummary(), q(c.location));
        }
        if (run == "location") {
            h.view.cleanAllLibraries();
        } else {
            h.select("Locked.fcpbundle");
            if (run == "library")
                h.view.cleanSelectedLibrary();
            else
                h.view.cleanCategory(run);
        }
        h.dispatch.drainAll();
        QVERIFY2(h.view.showAlert(), c.run);
        QCOMPARE(h.view.alertMessage(), c.alert);
        for (const std::string& path : locked)
            QVERIFY(exists(path));
    }
    // Everything around the locked files went all the same.
    QCOMPARE(filesBelow(lib),
             (std::vector<std::string>{
                 "CurrentVersion.flexolibrary", "Event 1/Analysis Files/Motion Analysis/clip.dat",
                 "Event 1/Original Media/clip.mov", "Event 1/Render Files/Peaks Data/peaks",
                 "Event 1/Transcoded Media/High Quality Media/clip.mov",
                 "Event 1/Transcoded Media/Proxy Media/clip.mov"}));
}

namespace {

struct WholeLocationRun {
    QStringList texts;          // progressText after each main step
    std::vector<double> values; // progressValue after each main step
    qint64 totalAfterFirstPost = -1;
};

// Runs cleanAllLibraries over `libraries` fresh libraries and steps through the main queue.
WholeLocationRun runWholeLocation(Harness& h, const std::string& location, int libraries) {
    for (int i = 0; i < libraries; ++i)
        makeLibrary(location + "/Lib " + std::to_string(i) + ".fcpbundle", {.events = 1});
    h.view.selectLocation(q(location));
    h.dispatch.drainAll();
    h.dispatch.clearTrace();

    WholeLocationRun run;
    h.view.cleanAllLibraries();
    if (h.view.progressText() != QString("正在清理硬盘上的所有资源库...")) return run;
    h.dispatch.runBackground();
    h.dispatch.runMain();
    run.totalAfterFirstPost = h.view.totalTasks();
    while (h.dispatch.pendingMain() > 1) {
        h.dispatch.runMain();
        run.texts << h.view.progressText();
        run.values.push_back(h.view.progressValue());
    }
    return run;
}

} // namespace

void ContentViewTest::wholeLocationProgressSequences() {
    {
        TempDir root;
        Harness h;
        const WholeLocationRun run = runWholeLocation(h, root.path(), 1);
        QCOMPARE(run.totalAfterFirstPost, qint64(4));
        // The two counter writes are posted before the first task is queued, and every
        // task's post precedes the closing post.
        QCOMPARE(
            h.dispatch.trace(),
            (std::vector<std::string>{"background", "main", "main", "group cleaningQueue", "async", "async",
                                      "async", "async", "wait", "main", "main", "main", "main", "main"}));
        // The texts and the bar as they advance are checked through the window.
        QCOMPARE(run.texts.size(), 5); // "completedTasks = 0", then one per task
        QVERIFY(h.view.isCleaning());
        QVERIFY(!h.view.showAlert());
        QVERIFY(h.dispatch.runMain()); // finishCleaning
        QVERIFY(!h.view.isCleaning());
        QVERIFY(h.view.isRetrieving());
        QVERIFY(h.view.showAlert());
        QCOMPARE(h.view.completedTasks(), qint64(4));
    }
    {
        TempDir root;
        Harness h;
        const WholeLocationRun run = runWholeLocation(h, root.path(), 25);
        QCOMPARE(run.totalAfterFirstPost, qint64(100));
        QCOMPARE(run.texts.size(), 101);
        // 29 / 100 * 100 is just below 29 in double arithmetic and truncates to 28.
        QCOMPARE(run.texts[29], QString("正在清理... 28%"));
        QCOMPARE(run.texts[30], QString("正在清理... 30%"));
        QCOMPARE(run.values[29], 0.29);
    }
}

void ContentViewTest::wholeLocationOnALocationWithoutLibrariesAndStrayCounts() {
    TempDir first;
    TempDir empty;
    Harness h;
    runWholeLocation(h, first.path(), 1);
    h.dispatch.drainAll();
    QCOMPARE(h.view.completedTasks(), qint64(4));
    h.view.recordTaskDone(); // 5 of 4: a stray count from an overlapping run
    QCOMPARE(h.view.progressValue(), 1.0);
    QCOMPARE(h.view.progressText(), QString("正在清理... 100%"));
    h.view.setShowAlert(false);

    // A second run starts with the bar where the first left it and never moves it.
    h.view.selectLocation(q(empty.path()));
    h.dispatch.drainAll();
    h.log.take();
    QCOMPARE(h.view.emptyListText(), q(empty.path()) + " 中没有 Final Cut Pro 资源库。");
    QCOMPARE(h.view.locationSummary(), q(empty.path()) + " · 0 个资源库 · 共 0.00 GB · 可清理 0.00 GB");
    h.view.cleanAllLibraries();
    QCOMPARE(h.view.progressText(), QString("正在清理硬盘上的所有资源库..."));
    QCOMPARE(h.view.progressValue(), 1.0);
    h.dispatch.drainAll();
    QCOMPARE(h.view.totalTasks(), qint64(0));
    QCOMPARE(h.view.completedTasks(), qint64(0));
    QCOMPARE(h.view.progressValue(), 1.0);
    QCOMPARE(h.view.progressText(), QString("正在清理硬盘上的所有资源库..."));
    QCOMPARE(h.view.alertMessage(),
             QString("已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"));
    QVERIFY(h.view.showAlert());
    QVERIFY(!h.view.isCleaning());
    QVERIFY(h.view.fcpBundles().empty());
    QVERIFY(!h.log.take().contains("progressValue"));

    // A stray count after this run reset the total to 0 still gives a finite text.
    h.view.updateProgress(); // 0 of 0
    QCOMPARE(h.view.progressValue(), 0.0);
    QCOMPARE(h.view.progressText(), QString("正在清理... 0%"));
    h.view.recordTaskDone(); // 1 of 0
    QCOMPARE(h.view.progressValue(), 1.0);
    QCOMPARE(h.view.progressText(), QString("正在清理... 100%"));
}

void ContentViewTest::overlappingRetrievalsPublishOnlyTheNewest() {
    TempDir a;
    TempDir b;
    makeLibrary(a / "A.fcpbundle", {.events = 1});
    makeLibrary(b / "B1.fcpbundle", {.events = 1});
    makeLibrary(b / "B2.fcpbundle", {.events = 1});
    Harness h;

    // The later run finishes first: it publishes; the earlier one is dropped when it ends.
    h.view.selectLocation(q(a.path()));
    h.view.selectLocation(q(b.path()));
    QCOMPARE(h.dispatch.pendingBackground(), std::size_t(2));
    QVERIFY(h.dispatch.runNewestBackground());
    QVERIFY(h.dispatch.runMain());
    QCOMPARE(h.view.fcpBundles().size(), std::size_t(2));
    QVERIFY(findByName(h.view, "B1.fcpbundle") != nullptr);
    QVERIFY(h.view.isRetrieving()); // the first scan is still under way
    QVERIFY(!h.view.retrievalProgressText().isEmpty());
    const std::vector<FCPBundle> published = h.view.fcpBundles();

    // Refreshing the locations meanwhile leaves the runs alone.
    h.log.take();
    h.view.loadLocations();
    for (const QString& name : h.log.take())
        QVERIFY2(name == "drives" || name == "userDirs", qPrintable(name));
    QVERIFY(h.view.isRetrieving());

    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QVERIFY(idsOf(h.view.fcpBundles()) == idsOf(published));
    QVERIFY(!h.view.isRetrieving());
    QCOMPARE(h.view.retrievalProgressText(), QString());

    // The earlier run finishes first: dropped, the flag stays up until the newest publishes.
    h.log.take();
    h.view.selectLocation(q(a.path()));
    h.view.selectLocation(q(b.path()));
    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QVERIFY(idsOf(h.view.fcpBundles()) == idsOf(published));
    QVERIFY(h.view.isRetrieving());
    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QVERIFY(!h.view.isRetrieving());
    QCOMPARE(h.log.count("isRetrieving"), 2); // up once, down once
}

void ContentViewTest::overlappingCleaningsKeepIsCleaningTrue() {
    TempDir root;
    const std::string library = makeLibrary(root / "L.fcpbundle");
    Harness h;
    h.open(root.path());
    h.select("L.fcpbundle");

    h.view.cleanCategory(CacheCategory::render);
    h.view.cleanCategory(CacheCategory::proxy);
    QCOMPARE(h.view.progressText(), QString("正在清理代理媒体..."));
    QCOMPARE(h.log.count("isCleaning"), 1);

    // The first run ends while the second still deletes: its alert opens, the flag stays up.
    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QVERIFY(h.view.isCleaning());
    QVERIFY(h.view.showAlert());
    QCOMPARE(h.view.alertMessage(), QString("已清理时间线渲染缓存。"));
    QVERIFY(h.view.isRetrieving());
    QVERIFY(exists(library + "/Event 1/Transcoded Media/Proxy Media"));

    QVERIFY(h.dispatch.runBackground()); // the proxy deletion
    QVERIFY(!exists(library + "/Event 1/Transcoded Media/Proxy Media"));
    QVERIFY(h.dispatch.runMain());
    QVERIFY(!h.view.isCleaning());
    QCOMPARE(h.view.alertMessage(), QString("已清理代理媒体。"));
    QCOMPARE(h.log.count("isCleaning"), 2);
    h.dispatch.drainAll();
    QVERIFY(!h.view.isRetrieving());
    QCOMPARE(findByName(h.view, "L.fcpbundle")->cacheSize() + findByName(h.view, "L.fcpbundle")->proxySize(),
             std::int64_t(0));

    // A category run and a whole-location run at once.
    h.select("L.fcpbundle");
    h.view.cleanCategory(CacheCategory::analysis);
    h.view.cleanAllLibraries();
    QVERIFY(h.dispatch.runNewestBackground()); // the whole-location run, to its last post
    h.dispatch.drainMain();
    QVERIFY(h.view.isCleaning());
    h.dispatch.drainAll();
    QVERIFY(!h.view.isCleaning());
}

void ContentViewTest::listModelTexts() {
    BundleListModel model;
    QSignalSpy countSpy(&model, &BundleListModel::countChanged);
    FCPBundle demo{Uuid::random(), "/Volumes/X/Demo.fcpbundle", "Demo.fcpbundle", 1073741824, 0, 0, 0, 0};
    FCPBundle odd{Uuid::random(),       "/x/50%1 off.fcpbundle",
                  "50%1 off.fcpbundle", 5368710,
                  123456789012,         5368709,
                  1073741823,           536870912};
    model.setBundles({demo, odd});
    QCOMPARE(countSpy.size(), 1);
    QCOMPARE(model.rowCount(), 2);
    auto text = [&](int row, int role) { return model.data(model.index(row), role).toString(); };
    QCOMPARE(text(0, BundleListModel::TitleTextRole), QString("Demo.fcpbundle (1.00 GB)"));
    QCOMPARE(text(0, BundleListModel::CacheSizeTextRole), QString("缓存大小: 0.00 GB"));
    QCOMPARE(text(0, BundleListModel::IdRole), q(demo.id.toString()));
    QCOMPARE(text(0, BundleListModel::PathRole), QString("/Volumes/X/Demo.fcpbundle"));
    QCOMPARE(model.data(model.index(0), BundleListModel::SizeRole).toLongLong(), 1073741824LL);
    // A "%1" in a name is data, not a place for the size.
    QCOMPARE(text(1, BundleListModel::TitleTextRole), QString("50%1 off.fcpbundle (0.01 GB)"));
    QCOMPARE(text(1, BundleListModel::CacheSizeTextRole), QString("缓存大小: 114.98 GB"));
    QCOMPARE(text(1, BundleListModel::ProxySizeTextRole), QString("代理媒体: 0.00 GB"));
    QCOMPARE(text(1, BundleListModel::OptimizedSizeTextRole), QString("优化媒体: 1.00 GB"));
    QCOMPARE(text(1, BundleListModel::AnalysisSizeTextRole), QString("媒体分析缓存: 0.50 GB"));
    QVERIFY(!model.data(model.index(2), BundleListModel::TitleTextRole).isValid());

    model.setBundles({odd, demo});
    QCOMPARE(countSpy.size(), 1);
    QCOMPARE(text(0, BundleListModel::DisplayNameRole), QString("50%1 off.fcpbundle"));
    model.setBundles({});
    QCOMPARE(countSpy.size(), 2);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.totalsCategoryTexts().isEmpty());
    // Totals: a nested library adds its kinds, not its whole, which the outer one holds. Bars
    // are shares of the largest library (a row) or of the whole (the totals), their kinds never
    // past their whole.
    FCPBundle inner{Uuid::random(),
                    "/Volumes/X/Demo.fcpbundle/E/Inner.fcpbundle",
                    "Inner.fcpbundle",
                    1000,
                    0,
                    1000,
                    0,
                    0};
    model.setBundles({demo, odd, inner});
    QCOMPARE(model.totals().libraries, 3);
    QCOMPARE(formatSize(model.totals().size), std::string("1.01 GB"));
    QCOMPARE(formatSize(model.totals().reclaimable()), std::string("116.48 GB"));
    QCOMPARE(model.totalsCategoryTexts(), (QStringList{"缓存大小: 114.98 GB", "代理媒体: 0.01 GB",
                                                       "优化媒体: 1.00 GB", "媒体分析缓存: 0.50 GB"}));
    QCOMPARE(model.totalsBar(), (QVariantList{1.0, 1.0, 0.0, 0.0, 0.0}));
    auto bar = [&](int row) { return model.data(model.index(row), BundleListModel::SizeBarRole).toList(); };
    const double oddShare = 5368710.0 / 1073741824.0;
    QCOMPARE(bar(1), (QVariantList{oddShare, oddShare, 0.0, 0.0, 0.0}));
    QCOMPARE(bar(2)[2].toDouble(), 1000.0 / 1073741824.0);
}

void ContentViewTest::selectedPathComparesUnderCanonicalEquivalence() {
    TempDir root;
    Harness h;
    QVERIFY(!h.view.isSelectedPath(QString("/")));
    const std::string precomposed = root / "Caf\xC3\xA9";
    const std::string decomposed = root / "Cafe\xCC\x81";
    h.view.selectLocation(q(precomposed));
    QVERIFY(h.view.isSelectedPath(q(decomposed)));
    QVERIFY(!h.view.isSelectedPath(q(decomposed + "/")));
    QVERIFY(!h.view.isSelectedPath(q(root / "caf\xC3\xA9")));
    // Selecting the same path again starts a second run and keeps the path.
    h.log.take();
    h.view.selectLocation(q(precomposed));
    QCOMPARE(h.dispatch.pendingBackground(), std::size_t(2));
    QCOMPARE(h.log.take(), QStringList()); // nothing new to announce
    h.dispatch.drainAll();
    QVERIFY(h.view.fcpBundles().empty());
    QVERIFY(!h.view.isRetrieving());
}

QTEST_GUILESS_MAIN(ContentViewTest)
#include "content_view_test.moc"
