// ContentView step by step: the test runs each queued item itself, so runs overlap as it chooses.
#include "i18n/translation.h"
#include "support/step_dispatch.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QtTest>

using namespace velmora;
using namespace velmora::window_testing;
using velmora::testing::TempDir;

namespace {

// Bytes in every category, and original media.
LibraryShape fullLibrary(const std::string& name) {
    return {name, 2000, 3000, 4000, 500, 1000};
}

struct Harness {
    testing::StepDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view{dispatch, chooser, desktop};
    void open(const std::string& location) {
        view.selectLocation(q(location));
        dispatch.drainAll();
    }
    [[nodiscard]] FCPBundle find(const std::string& name) const {
        for (const FCPBundle& bundle : view.fcpBundles())
            if (bundle.displayName == name) return bundle;
        return {};
    }
    // Selects the library named `name` and starts `run`: a category key, "library" or "location".
    void start(const QString& run, const std::string& name = "L.fcpbundle") {
        view.setSelectedBundleID(q(find(name).id.toString()));
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
    void eachRunRemovesItsDataOrNamesWhatStayed();
    void overlappingRunsPublishTheNewestScanAndCleanToTheEnd();
    void wholeLocationProgress();
    void listOrdersFiltersAndSums();
    void actionsWithoutATargetDoNothing();
};

// Each run removes its categories' data, nothing else, and says so; a failed removal's alert names
// the count and the first entry that stayed; a location that is not there says so.
void ContentViewTest::eachRunRemovesItsDataOrNamesWhatStayed() {
    TempDir root;
    const std::string lockedAt = root / "Locked", empty = root / "Empty";
    const std::string event = buildLibrary(lockedAt, fullLibrary("L.fcpbundle"));
    const std::vector<std::string> locked{event + "/Render Files/High Quality Media/render.mov",
                                          event + "/Transcoded Media/Proxy Media/clip.mov",
                                          event + "/Transcoded Media/High Quality Media/clip.mov",
                                          event + "/Analysis Files/Shots/clip.plist"};
    testing::makeDirs(event + "/Render Files/Peaks Data");
    testing::writeFile(event + "/Render Files/Peaks Data/peaks", 100); // not locked
    testing::writeFile(root / "file", 1);
    buildLibrary(empty, {"L.fcpbundle"});
    // The reason comes in the window's language, as the rest of the alert (the log keeps it as is).
    (void)useTranslationFor(QLocale("zh_CN"));
    const auto cannot = [&](const char* where, int count, int entry) {
        return QString("%1中有 %2 项无法删除。第一个无法删除的是 %3：不允许的操作")
            .arg(where, QString::number(count), q(locked[entry]));
    };
    const struct {
        const char* run;
        QString alert;
        std::string location = {};         // none: a fresh library with data in every category
        std::size_t stopBefore = SIZE_MAX; // the whole-location task before which the stop comes
    } table[] = {
        {"render", "已清理时间线渲染缓存。"},
        {"render", "时间线渲染缓存中没有需要清理的文件。", empty},
        {"proxy", "已清理代理媒体。"},
        {"optimized", "已清理优化媒体。"},
        {"analysis", "已清理媒体分析缓存。"},
        {"library", "已清理选定的资源库。"},
        {"library", "已清理选定的资源库。", empty},
        {"location", "已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"},
        {"location", "所选目录不存在：" + q(root / "gone"), root / "gone"},
        {"location", "所选位置不是目录：" + q(root / "file"), root / "file"},
        {"render", cannot("时间线渲染缓存", 1, 0), lockedAt},
        {"proxy", cannot("代理媒体", 1, 1), lockedAt},
        {"library", cannot("选定的资源库", 4, 0), lockedAt},
        {"location", cannot("选定目录", 4, 0), lockedAt},
        // Stopped after render files and proxy media: it says both, and counts only those two.
        {"location", "清理已停止。停止前已删除 0 项。\n" + cannot("选定目录", 2, 0), lockedAt, 2},
    };
    const testing::ImmutableFiles mark(locked);
    for (const auto& c : table) {
        if (c.location == lockedAt && !mark.marked()) QSKIP("chattr +i is not supported here");
        TempDir fresh;
        if (c.location.empty()) buildLibrary(fresh.path(), fullLibrary("L.fcpbundle"));
        Harness h;
        h.open(c.location.empty() ? fresh.path() : c.location);
        if (h.view.fcpBundles().empty()) QCOMPARE(h.view.emptyListText(), c.alert);
        const FCPBundle before = h.find("L.fcpbundle");
        h.dispatch.beforeGroupItem = [&](std::size_t item) {
            if (item == c.stopBefore) h.view.stopCleaning();
        };
        h.start(c.run);
        // The removal on the background thread writes no field: its end posts to main.
        if (c.location.empty())
            QVERIFY(h.dispatch.runBackground() && h.view.isCleaning() && h.view.alertMessage().isEmpty());
        h.dispatch.drainAll();
        QVERIFY2(h.view.showAlert() && !h.view.isCleaning(), c.run);
        QCOMPARE(h.view.alertMessage(), c.alert);
        // What could not be done is an error, the rest (a stop too) a notice.
        QCOMPARE(h.view.alertIsError(), c.alert.contains("无法删除") || c.alert.startsWith("所选"));
        if (!c.location.empty()) continue;
        // The fresh scan after the run: the run's categories are empty, nothing else went.
        const FCPBundle after = h.find("L.fcpbundle");
        const bool allFour = QString(c.run) == "library" || QString(c.run) == "location";
        for (CacheCategory k : allCacheCategories)
            QCOMPARE(after.sizeOf(k), allFour || categoryInfo(k).key == c.run ? 0 : before.sizeOf(k));
        QCOMPARE(after.size - after.reclaimable(), before.size - before.reclaimable());
    }
    for (const std::string& path : locked)
        QVERIFY(exists(path));
    QVERIFY(!exists(event + "/Render Files/Peaks Data")); // what was not locked went all the same
}

void ContentViewTest::overlappingRunsPublishTheNewestScanAndCleanToTheEnd() {
    TempDir a, b;
    buildLibrary(a.path(), fullLibrary("A.fcpbundle"));
    buildLibrary(b.path(), fullLibrary("B1.fcpbundle"));
    buildLibrary(b.path(), fullLibrary("B2.fcpbundle"));
    Harness h;
    const auto firstId = [&] {
        return h.view.fcpBundles().empty() ? Uuid{} : h.view.fcpBundles().front().id;
    };
    // Only the newest scan is shown, whichever ends first; the flag stays up until it ends.
    for (const bool newestFirst : {true, false}) {
        const Uuid before = firstId();
        h.view.selectLocation(q(a.path()));
        h.view.selectLocation(q(b.path()));
        QVERIFY(newestFirst ? h.dispatch.runNewestBackground() : h.dispatch.runBackground());
        QVERIFY(h.dispatch.runMain());
        const Uuid afterFirst = firstId();
        QVERIFY(h.view.isRetrieving() && !h.view.retrievalProgressText().isEmpty());
        QVERIFY(h.dispatch.runBackground() && h.dispatch.runMain());
        QVERIFY(!h.view.isRetrieving() && h.view.retrievalProgressText().isEmpty());
        QCOMPARE(h.view.locationSummary(), q(b.path()) + " · 2 个资源库 · 共 0.00 GB · 可清理 0.00 GB");
        QVERIFY(newestFirst ? firstId() == afterFirst : (afterFirst == before && firstId() != before));
    }
    // Two category runs: the first one's end opens its alert while the flag stays up.
    h.start("render", "B1.fcpbundle");
    h.start("proxy", "B1.fcpbundle");
    QVERIFY(h.dispatch.runBackground() && h.dispatch.runMain());
    QVERIFY(h.view.isCleaning() && h.view.alertMessage() == "已清理时间线渲染缓存。");
    h.dispatch.drainAll();
    QVERIFY(!h.view.isCleaning() && h.view.alertMessage() == "已清理代理媒体。");
    QCOMPARE(h.find("B1.fcpbundle").cacheSize() + h.find("B1.fcpbundle").proxySize(), std::int64_t(0));
    // A category run and a whole-location run at once: the flag falls only when both ended.
    h.start("analysis", "B2.fcpbundle");
    h.start("location");
    QVERIFY(h.dispatch.runNewestBackground()); // the whole-location run, to its last post
    h.dispatch.drainMain();
    QVERIFY(h.view.isCleaning());
    h.dispatch.drainAll();
    QVERIFY(!h.view.isCleaning());
    QCOMPARE(h.find("B2.fcpbundle").size, h.find("B1.fcpbundle").size);
}

void ContentViewTest::wholeLocationProgress() {
    TempDir root, empty;
    for (const char* name : {"One.fcpbundle", "Two.fcpbundle", "Three.fcpbundle"})
        buildLibrary(root.path(), fullLibrary(name));
    Harness h;
    h.open(root.path());
    h.view.cleanAllLibraries();
    QVERIFY(h.dispatch.runBackground());
    // Both counter writes come first, so each step divides by this run's own total.
    QStringList texts;
    while (h.dispatch.runMain())
        texts << h.view.progressText().remove("正在清理... ");
    // The percentage truncates: 1 of 12 reads 8%, 11 of 12 reads 91%.
    QCOMPARE(texts.mid(2, 12).join(' '), QString("8% 16% 25% 33% 41% 50% 58% 66% 75% 83% 91% 100%"));
    h.dispatch.drainAll();
    // Counts overlapping runs leave behind stay within 0% and 100%: 13 of 12, then 0 of 0.
    h.view.recordTaskDone();
    QCOMPARE(h.view.progressText(), QString("正在清理... 100%"));
    h.open(empty.path());
    h.view.cleanAllLibraries();
    h.dispatch.drainAll();
    h.view.updateProgress();
    QCOMPARE(h.view.progressText(), QString("正在清理... 0%"));
}

// With no location, and a selected id that matches no record, the actions do nothing.
void ContentViewTest::actionsWithoutATargetDoNothing() {
    Harness h;
    for (const char* run : {"render", "Render", "all", "library", "location"})
        h.start(run);
    h.view.retrieveBundles();
    h.view.selectLocation("");
    h.view.chooseOtherDirectory(); // cancelled
    h.chooser.answers.push_back(QString(""));
    h.view.chooseOtherDirectory(); // an empty answer
    QVERIFY(!h.view.isCleaning() && h.view.selectedPath().isNull() && h.dispatch.calls == 0);
    // After a run the fresh scan gives new ids: the old selection names no library any more.
    TempDir root;
    buildLibrary(root.path(), fullLibrary("L.fcpbundle"));
    h.open(root.path());
    h.start("library");
    h.dispatch.drainAll();
    QVERIFY(!h.view.selectedBundleID().isEmpty() && !h.view.selectedBundle());
    // The sort keys' labels are looked up in the user's language when they are read.
    (void)useTranslationFor(QLocale("en_US"));
    QCOMPARE(h.view.shownBundles()->sortKeys().last().toMap().value("label").toString(),
             QString("Reclaimable"));
    (void)useTranslationFor(QLocale("zh_CN"));
}

// The list's records, their orders, filter and sums, on records alone.
void ContentViewTest::listOrdersFiltersAndSums() {
    const QString cafe = QString::fromUtf8("Cafe\xcc\x81.fcpbundle"); // a decomposed é
    const auto record = [](const std::string& path, double total, double render, double proxy) {
        const auto bytes = [](double gib) { return std::int64_t(gib * GiB); };
        return FCPBundle{Uuid::random(),
                         "/V/" + path,
                         path.substr(path.rfind('/') + 1),
                         bytes(total),
                         {bytes(render), bytes(proxy), 0, 0}};
    };
    BundleListModel list;
    list.setBundles({record("Lib2.fcpbundle", 6, .5, .5), record("Lib10.fcpbundle", 4, 2, 2),
                     record("lib1.fcpbundle", 3, 1, 1), record("Archive/Zeta.fcpbundle", 3.25, 1, 2),
                     record(cafe.toStdString(), 8.5, .25, .25)});
    QVERIFY(list.totals().size == 99 * GiB / 4 && list.totals().reclaimable() == 21 * GiB / 2);
    QCOMPARE(list.totalsCategoryTexts().value(1), QString("代理媒体: 5.75 GB"));
    BundleSortFilterModel shown(&list);
    const auto names = [&] {
        QStringList found;
        for (int row = 0; row < shown.count(); ++row)
            found << shown.index(row, 0).data(BundleListModel::DisplayNameRole).toString();
        return found;
    };
    const QStringList scanOrder = names();
    // Names by collation, digits by value, case aside; a key again reverses; sizes largest first.
    const std::pair<int, QStringList> orders[] = {
        {1, {cafe, "lib1.fcpbundle", "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle"}},
        {1, {"Zeta.fcpbundle", "Lib10.fcpbundle", "Lib2.fcpbundle", "lib1.fcpbundle", cafe}},
        {2, {cafe, "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle"}},
        {3, {"Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle", "Lib2.fcpbundle", cafe}},
        {3, {cafe, "Lib2.fcpbundle", "lib1.fcpbundle", "Zeta.fcpbundle", "Lib10.fcpbundle"}},
        {0, scanOrder},
    };
    for (const auto& [key, expected] : orders) {
        shown.sortBy(key);
        QCOMPARE(names(), expected);
    }
    // The filter: case and canonical form aside, in the name or the path; the count says so.
    const std::pair<QString, QStringList> filters[] = {
        {"LIB1", {"Lib10.fcpbundle", "lib1.fcpbundle"}},
        {QString::fromUtf8("CAF\xc3\x89"), {cafe}}, // precomposed É finds the decomposed é
        {"archive/", {"Zeta.fcpbundle"}},
        {"nothing like it", {}},
        {"", scanOrder},
    };
    for (const auto& [typed, expected] : filters) {
        shown.setFilterText(typed);
        QCOMPARE(names(), expected);
        QCOMPARE(shown.countText(),
                 typed.isEmpty() ? QString() : QString("%1 / 5 个资源库").arg(expected.size()));
    }
    // A "%1" in a name is data; a nested library adds its kinds to the totals but not its whole.
    BundleListModel model;
    model.setBundles(
        {{Uuid::random(), "/V/O.fcpbundle", "50%1 off.fcpbundle", GiB, {GiB / 2, 0, 0, 0}},
         {Uuid::random(), "/V/O.fcpbundle/E/I.fcpbundle", "I.fcpbundle", 1000, {0, 2000, 0, 0}}});
    QCOMPARE(model.index(0).data(BundleListModel::TitleTextRole).toString(),
             QString("50%1 off.fcpbundle (1.00 GB)"));
    QVERIFY(model.totals().size == GiB && model.totals().reclaimable() == GiB / 2 + 2000);
    QCOMPARE(model.index(1).data(BundleListModel::SizeBarRole).toList(),
             (QVariantList{1000.0 / GiB, 0.0, 1000.0 / GiB, 0.0, 0.0}));
    // Two libraries whose names differ only in case each show the folder that holds them.
    model.setBundles({{Uuid::random(), "/V/A/Cut.fcpbundle", "Cut.fcpbundle"},
                      {Uuid::random(), "/Cut.fcpbundle", "cut.fcpbundle"},
                      {Uuid::random(), "/V/B/Other.fcpbundle", "Other.fcpbundle"}});
    QStringList folders;
    for (int row = 0; row < 3; ++row)
        folders << model.index(row).data(BundleListModel::SharedNameFolderRole).toString();
    QCOMPARE(folders, (QStringList{"/V/A", "/", ""}));
    // Whole gigabytes are grouped by thousands, from the first thousand on.
    model.setBundles(
        {{Uuid::random(), "/V/Big.fcpbundle", "Big.fcpbundle", 50916 * GiB + GiB * 7 / 10, {999 * GiB}},
         {Uuid::random(), "/V/K.fcpbundle", "K.fcpbundle", 1000 * GiB, {1234567 * GiB}}});
    QCOMPARE(model.index(0).data(BundleListModel::TitleTextRole).toString() + " " +
                 model.index(0).data(BundleListModel::CacheSizeTextRole).toString() + " " +
                 model.index(1).data(BundleListModel::TitleTextRole).toString() + " " +
                 model.index(1).data(BundleListModel::CacheSizeTextRole).toString(),
             QString("Big.fcpbundle (50,916.70 GB) 缓存大小: 999.00 GB K.fcpbundle (1,000.00 GB) 缓存大小: "
                     "1,234,567.00 GB"));
}

QTEST_GUILESS_MAIN(ContentViewTest)
#include "content_view_test.moc"
