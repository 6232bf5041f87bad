// ContentView driven step by step: the test runs every background and main-queue item itself,
// so runs overlap in any order it chooses, and each step's effect is checked without sleeps.
#include "support/step_dispatch.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QSignalSpy>
#include <QtTest>

using namespace velmora;
using namespace velmora::window_testing;
using velmora::testing::StepDispatch;
using velmora::testing::TempDir;

namespace {

LibrarySpec fullLibrary(const std::string& name) {
    return {.relativePath = name, .renderBytes = 2000, .proxyBytes = 3000, .optimizedBytes = 4000,
            .analysisFilesBytes = 500, .originalBytes = 1000};
}

struct Harness {
    StepDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view{dispatch, chooser, desktop};

    void open(const std::string& location) {
        view.selectLocation(q(location));
        dispatch.drainAll();
    }
    [[nodiscard]] std::optional<FCPBundle> find(const std::string& name) const {
        for (const FCPBundle& bundle : view.fcpBundles())
            if (bundle.displayName == name) return bundle;
        return std::nullopt;
    }
    void select(const std::string& name) { view.setSelectedBundleID(find(name) ? q(find(name)->id.toString()) : ""); }
    // Starts `run`: a category key, "library" or "location".
    void start(const QString& run) {
        if (run == "location")
            view.cleanAllLibraries();
        else if (run == "library")
            view.cleanSelectedLibrary();
        else
            view.cleanCategory(run);
    }
};

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

  private slots:
    void eachRunRemovesItsDataAndSaysWhat();
    void failuresNameTheFirstEntryAndItsError();
    void overlappingRunsPublishTheNewestScanAndCleanToTheEnd();
    void wholeLocationProgress();
    void actionsWithoutATargetDoNothing();
    void listTextsAndTotals();
};

void ContentViewTest::eachRunRemovesItsDataAndSaysWhat() {
    const struct {
        const char* run;
        bool hasData;
        const char* running;
        const char* alert;
    } table[] = {
        {"render", true, "正在清理时间线渲染缓存...", "已清理时间线渲染缓存。"},
        {"render", false, "正在清理时间线渲染缓存...", "时间线渲染缓存中没有需要清理的文件。"},
        {"proxy", true, "正在清理代理媒体...", "已清理代理媒体。"},
        {"proxy", false, "正在清理代理媒体...", "代理媒体中没有需要清理的文件。"},
        {"optimized", true, "正在清理优化媒体...", "已清理优化媒体。"},
        {"optimized", false, "正在清理优化媒体...", "优化媒体中没有需要清理的文件。"},
        {"analysis", true, "正在清理媒体分析缓存...", "已清理媒体分析缓存。"},
        {"analysis", false, "正在清理媒体分析缓存...", "媒体分析缓存中没有需要清理的文件。"},
        {"library", true, "正在清理资源库...", "已清理选定的资源库。"},
        {"library", false, "正在清理资源库...", "已清理选定的资源库。"},
        {"location", true, "正在清理硬盘上的所有资源库...",
         "已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"},
    };
    for (const auto& c : table) {
        TempDir root;
        buildLibrary(root.path(), c.hasData ? fullLibrary("L.fcpbundle")
                                            : LibrarySpec{.relativePath = "L.fcpbundle", .originalBytes = 1000});
        Harness h;
        h.open(root.path());
        h.select("L.fcpbundle");
        const FCPBundle before = *h.find("L.fcpbundle");
        QSignalSpy fieldChanges(&h.view, &ContentView::alertMessageChanged);
        h.start(c.run);
        QCOMPARE(h.view.progressText(), QString(c.running));
        // The removal on the background thread writes no field: its end posts to main.
        QVERIFY(h.dispatch.runBackground());
        QVERIFY(h.view.isCleaning() && fieldChanges.isEmpty());
        h.dispatch.drainAll();
        QVERIFY2(h.view.showAlert() && !h.view.isCleaning(), c.run);
        QCOMPARE(h.view.alertMessage(), QString(c.alert));
        // The fresh scan after the run: the run's categories are empty, the rest is as it was.
        const FCPBundle after = *h.find("L.fcpbundle");
        std::int64_t removed = 0;
        for (CacheCategory category : allCacheCategories) {
            const bool cleaned = QString(c.run) == "library" || QString(c.run) == "location" ||
                                 categoryInfo(category).key == c.run;
            QCOMPARE(after.sizeOf(category), cleaned ? 0 : before.sizeOf(category));
            removed += cleaned ? before.sizeOf(category) : 0;
        }
        QCOMPARE(after.size, before.size - removed);
    }
}

// A removal that fails is never reported as done or as nothing to clean: each run names the
// count and the first entry that had to stay, and a location that is not there says so.
void ContentViewTest::failuresNameTheFirstEntryAndItsError() {
    TempDir root;
    const std::string location = root / "Disk";
    const std::string event = buildLibrary(location, fullLibrary("Locked.fcpbundle"));
    velmora::testing::makeDirs(event + "/Render Files/Peaks Data");
    velmora::testing::writeFile(event + "/Render Files/Peaks Data/peaks", 100); // not locked
    const std::vector<std::string> locked{
        event + "/Render Files/High Quality Media/render.mov", event + "/Transcoded Media/Proxy Media/clip.mov",
        event + "/Transcoded Media/High Quality Media/clip.mov", event + "/Analysis Files/Shots/clip.plist"};
    velmora::testing::writeFile(root / "file", 1);
    const QString why = "：Operation not permitted";
    const QString first = "项无法删除。第一个无法删除的是 " + q(locked[0]) + why;
    const struct {
        const char* run;
        std::string location;
        QString alert;
        std::size_t stopBefore = SIZE_MAX; // the whole-location task before which the stop comes
    } table[] = {
        {"location", root / "gone", "所选目录不存在：" + q(root / "gone")},
        {"location", root / "file", "所选位置不是目录：" + q(root / "file")},
        {"render", location, "时间线渲染缓存中有 1 " + first},
        {"proxy", location, "代理媒体中有 1 项无法删除。第一个无法删除的是 " + q(locked[1]) + why},
        {"optimized", location, "优化媒体中有 1 项无法删除。第一个无法删除的是 " + q(locked[2]) + why},
        {"analysis", location, "媒体分析缓存中有 1 项无法删除。第一个无法删除的是 " + q(locked[3]) + why},
        {"library", location, "选定的资源库中有 4 " + first},
        {"location", location, "选定目录中有 4 " + first},
        // Stopped after render files and proxy media: it says both, and counts only those two.
        {"location", location, "清理已停止。停止前已删除 0 项。\n选定目录中有 2 " + first, 2},
    };
    const velmora::testing::ImmutableFiles mark(locked);
    for (const auto& c : table) {
        if (c.location == location && !mark.marked()) QSKIP("chattr +i is not supported here");
        Harness h;
        h.open(c.location);
        // A location that gives no list says why in the list itself, as the alert does.
        if (h.view.fcpBundles().empty()) QCOMPARE(h.view.emptyListText(), c.alert);
        h.dispatch.beforeGroupItem = [&](std::size_t item) {
            if (item == c.stopBefore) h.view.stopCleaning();
        };
        h.select("Locked.fcpbundle");
        h.start(c.run);
        h.dispatch.drainAll();
        QVERIFY2(h.view.showAlert(), c.run);
        QCOMPARE(h.view.alertMessage(), c.alert);
        for (const std::string& path : locked)
            QVERIFY(exists(path));
    }
    // What was not locked went all the same.
    QVERIFY(!exists(event + "/Render Files/Peaks Data"));
}

void ContentViewTest::overlappingRunsPublishTheNewestScanAndCleanToTheEnd() {
    TempDir a, b;
    buildLibrary(a.path(), fullLibrary("A.fcpbundle"));
    buildLibrary(b.path(), fullLibrary("B1.fcpbundle"));
    buildLibrary(b.path(), fullLibrary("B2.fcpbundle"));
    Harness h;
    const auto ids = [&] {
        std::vector<Uuid> shown;
        for (const FCPBundle& bundle : h.view.fcpBundles())
            shown.push_back(bundle.id);
        return shown;
    };

    // Only the newest scan is ever shown: when the later one finishes first, the earlier one
    // changes nothing at its end; the other way round, the earlier one is dropped and the
    // flag stays up until the newest publishes.
    for (const bool newestFirst : {true, false}) {
        const std::vector<Uuid> before = ids();
        h.view.selectLocation(q(a.path()));
        h.view.selectLocation(q(b.path()));
        QVERIFY(newestFirst ? h.dispatch.runNewestBackground() : h.dispatch.runBackground());
        QVERIFY(h.dispatch.runMain());
        const std::vector<Uuid> afterFirst = ids();
        QVERIFY(h.view.isRetrieving() && !h.view.retrievalProgressText().isEmpty());
        QVERIFY(h.dispatch.runBackground());
        QVERIFY(h.dispatch.runMain());
        QVERIFY(!h.view.isRetrieving());
        QCOMPARE(h.view.retrievalProgressText(), QString());
        QCOMPARE(h.view.listedLocation(), q(b.path()));
        QCOMPARE(ids().size(), std::size_t(2));
        QVERIFY(newestFirst ? ids() == afterFirst : (afterFirst == before && ids() != before));
    }

    // Two category runs: the first one's end opens its alert while the flag stays up.
    h.select("B1.fcpbundle");
    h.view.cleanCategory(CacheCategory::render);
    h.view.cleanCategory(CacheCategory::proxy);
    QVERIFY(h.dispatch.runBackground());
    QVERIFY(h.dispatch.runMain());
    QVERIFY(h.view.isCleaning() && h.view.showAlert());
    QCOMPARE(h.view.alertMessage(), QString("已清理时间线渲染缓存。"));
    h.dispatch.drainAll();
    QVERIFY(!h.view.isCleaning());
    QCOMPARE(h.view.alertMessage(), QString("已清理代理媒体。"));
    QCOMPARE(h.find("B1.fcpbundle")->cacheSize() + h.find("B1.fcpbundle")->proxySize(), std::int64_t(0));

    // A category run and a whole-location run at once: the flag falls only when both ended.
    h.select("B2.fcpbundle");
    h.view.cleanCategory(CacheCategory::analysis);
    h.view.cleanAllLibraries();
    QVERIFY(h.dispatch.runNewestBackground()); // the whole-location run, to its last post
    h.dispatch.drainMain();
    QVERIFY(h.view.isCleaning());
    h.dispatch.drainAll();
    QVERIFY(!h.view.isCleaning());
    QCOMPARE(h.find("B2.fcpbundle")->size, h.find("B1.fcpbundle")->size);
}

void ContentViewTest::wholeLocationProgress() {
    TempDir root, empty;
    for (const char* name : {"One.fcpbundle", "Two.fcpbundle", "Three.fcpbundle"})
        buildLibrary(root.path(), fullLibrary(name));
    Harness h;
    h.open(root.path());
    h.view.cleanAllLibraries();
    h.dispatch.clearTrace();
    QVERIFY(h.dispatch.runBackground());
    // Both counter writes are posted before the first task is queued, every task's post
    // before the closing one, so each step divides by this run's own total.
    std::vector<std::string> expected{"main", "main", "group cleaningQueue"};
    expected.insert(expected.end(), 12, "async");
    expected.push_back("wait");
    expected.insert(expected.end(), 13, "main");
    QVERIFY(h.dispatch.trace() == expected);
    QStringList texts;
    while (h.dispatch.runMain())
        texts << h.view.progressText();
    // The percentage truncates: 1 of 12 reads 8%, 11 of 12 reads 91%.
    QCOMPARE(texts.mid(2, 12).join(" "), QString("正在清理... 8% 正在清理... 16% 正在清理... 25% 正在清理... 33% "
                                                 "正在清理... 41% 正在清理... 50% 正在清理... 58% 正在清理... 66% "
                                                 "正在清理... 75% 正在清理... 83% 正在清理... 91% 正在清理... 100%"));
    QCOMPARE(h.view.completedTasks(), qint64(12));
    h.dispatch.drainAll();

    // Counts that overlapping runs leave behind stay within 0% and 100%.
    h.view.recordTaskDone(); // 13 of 12
    QCOMPARE(h.view.progressText(), QString("正在清理... 100%"));
    h.view.selectLocation(q(empty.path()));
    h.dispatch.drainAll();
    h.view.cleanAllLibraries();
    h.dispatch.drainAll();
    QCOMPARE(h.view.totalTasks(), qint64(0));
    QCOMPARE(h.view.progressValue(), 1.0); // a run with no task leaves the bar alone
    h.view.updateProgress(); // 0 of 0
    QCOMPARE(h.view.progressText(), QString("正在清理... 0%"));
    h.view.recordTaskDone(); // 1 of 0
    QCOMPARE(h.view.progressValue(), 1.0);
}

void ContentViewTest::actionsWithoutATargetDoNothing() {
    Harness h;
    const auto nothingHappens = [&] {
        for (const QString& run : {"render", "Render", "all", "library", "location"})
            h.start(run);
        h.view.retrieveBundles();
        h.view.selectLocation(QString());
        h.view.chooseOtherDirectory(); // cancelled
        h.chooser.answers.push_back(QString(""));
        h.view.chooseOtherDirectory(); // an empty answer
        return !h.view.isCleaning() && h.view.selectedPath().isNull() && h.dispatch.trace().empty();
    };
    QVERIFY(nothingHappens());
    // An id that matches no record: the selection holds it, the actions still do nothing.
    h.view.setSelectedBundleID(q(Uuid::random().toString()));
    QVERIFY(!h.view.selectedBundleID().isEmpty());
    QVERIFY(nothingHappens());
    // Text that is not an id clears the selection.
    h.view.setSelectedBundleID("not an id");
    QCOMPARE(h.view.selectedBundleID(), QString());

    // After a run the fresh scan gives new ids: the old selection no longer names a library.
    TempDir root;
    buildLibrary(root.path(), fullLibrary("A.fcpbundle"));
    h.open(root.path());
    h.select("A.fcpbundle");
    h.view.cleanSelectedLibrary();
    h.dispatch.drainAll();
    QVERIFY(!h.view.selectedBundleID().isEmpty() && !h.view.selectedBundle());

    // The chosen location is compared under canonical equivalence, and only as a whole.
    h.view.selectLocation(q(root / "Caf\xC3\xA9"));
    QVERIFY(h.view.isSelectedPath(q(root / "Cafe\xCC\x81")));
    QVERIFY(!h.view.isSelectedPath(q(root / "Cafe\xCC\x81/")));
    QVERIFY(!h.view.isSelectedPath(q(root / "caf\xC3\xA9")));
}

void ContentViewTest::listTextsAndTotals() {
    BundleListModel model;
    const FCPBundle outer{Uuid::random(), "/V/Outer.fcpbundle", "50%1 off.fcpbundle", GiB, {GiB / 2, 0, 0, 0}};
    const FCPBundle inner{Uuid::random(), "/V/Outer.fcpbundle/E/Inner.fcpbundle", "Inner.fcpbundle", 1000,
                          {0, 2000, 0, 0}};
    model.setBundles({outer, inner});
    const auto text = [&](int row, int role) { return model.data(model.index(row), role).toString(); };
    // A "%1" in a name is data, not a place for the size.
    QCOMPARE(text(0, BundleListModel::TitleTextRole), QString("50%1 off.fcpbundle (1.00 GB)"));
    // A nested library adds its kinds to the totals, not its whole, which the outer one holds;
    // the bar's kinds never reach past its whole.
    QCOMPARE(model.totals().size, GiB);
    QCOMPARE(model.totals().reclaimable(), GiB / 2 + 2000);
    QCOMPARE(model.data(model.index(1), BundleListModel::SizeBarRole).toList(),
             (QVariantList{1000.0 / GiB, 0.0, 1000.0 / GiB, 0.0, 0.0}));
    model.setBundles({});
    QVERIFY(model.totalsCategoryTexts().isEmpty());
}

QTEST_GUILESS_MAIN(ContentViewTest)
#include "content_view_test.moc"
