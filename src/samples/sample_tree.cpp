#include "samples/sample_tree.h"

#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace velmora::samples {
namespace {

constexpr std::int64_t KiB = 1024;
constexpr std::int64_t MiB = 1024 * KiB;
constexpr std::int64_t GiB = 1024 * MiB;

// A small deterministic generator (splitmix64): the same seed gives the same tree with any
// standard library.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi].
    std::int64_t between(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    // Spread evenly over orders of magnitude, as file sizes are.
    std::int64_t logBetween(std::int64_t lo, std::int64_t hi) {
        double l = std::log(static_cast<double>(lo)), h = std::log(static_cast<double>(hi));
        return std::clamp(static_cast<std::int64_t>(std::exp(l + (h - l) * unit())), lo, hi);
    }
    template <typename T, std::size_t N> const T& pick(const T (&items)[N]) { return items[next() % N]; }

  private:
    std::uint64_t state_;
};

struct SizeRange {
    std::int64_t lo, hi;
};

// Per kind of file: sizes for ordinary samples and for --large ones.
struct MediaSizes {
    SizeRange original, renderVideo, peaks, thumbnail, proxy, optimized, analysis, shared;
};

constexpr MediaSizes kSmall{{1 * MiB, 64 * MiB},  {128 * KiB, 8 * MiB},  {1 * KiB, 48 * KiB},
                            {4 * KiB, 96 * KiB},  {256 * KiB, 16 * MiB}, {1 * MiB, 32 * MiB},
                            {1 * KiB, 512 * KiB}, {1 * KiB, 256 * KiB}};
constexpr MediaSizes kLarge{{512 * MiB, 24 * GiB}, {32 * MiB, 900 * MiB}, {4 * KiB, 256 * KiB},
                            {16 * KiB, 512 * KiB}, {64 * MiB, 3 * GiB},   {1 * GiB, 12 * GiB},
                            {8 * KiB, 8 * MiB},    {64 * KiB, 64 * MiB}};

const char* const kEventNames[] = {"Wedding",   "Interview", "B-Roll",          "Drone",         "Day 1",
                                   "Day 2",     "Studio",    "Music Video",     "Documentary",   "Trailer",
                                   "婚礼 素材", "采访",      "Caf\x65\xcc\x81", "Z\xc3\xbcrich", "Commercial",
                                   "Timelapse", "Family",    "Travel",          "Conference",    "Rushes"};
const char* const kLibraryNames[] = {
    "Wedding 2023",      "Client Project",   "Documentary",  "Short Film",  "Vlog",
    "Commercial",        "Archive",          "短片 项目",    "Music Video", "Masterclass",
    "Caf\xc3\xa9 Promo", "Event Highlights", "Travel Diary", "Interviews"};
const char* const kClipPrefixes[] = {"A001_C", "B002_C", "DJI_", "GX01", "IMG_", "MVI_", "C00"};
const char* const kClipExtensions[] = {".mov", ".mp4", ".MOV", ".MP4", ".mxf"};
const char* const kAnalysisKinds[] = {"Color Adjustment Files", "Stabilization Files", "Audio Analysis Files",
                                      "Rolling Shutter Files", "Find People Files"};
const char* const kPhotoExtensions[] = {".JPG", ".CR3", ".HEIC", ".ARW"};
const char* const kDocumentExtensions[] = {".pdf", ".docx", ".txt", ".psd", ".ai", ".aep", ".prproj", ".wav"};

class Generator {
  public:
    Generator(const SampleOptions& options) : options_(options), rng_(options.seed ^ 0x5E1F00D5ULL) {
        sizes_ = options.large ? &kLarge : &kSmall;
    }

    SampleLocation run(const std::string& dir) {
        std::filesystem::create_directories(dir);
        UniqueFd root(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!root) throw std::system_error(errno, std::generic_category(), "open " + dir);
        location_.root = dir;

        const std::size_t libraries = options_.libraries;
        const double share = std::clamp(options_.unrelatedShare, 0.0, 1.0);
        const std::size_t unrelated =
            libraries == 0 ? options_.entries : static_cast<std::size_t>(options_.entries * share);
        const std::size_t perLibrary = libraries == 0 ? 0 : (options_.entries - unrelated) / libraries;

        // Libraries sit at the location's top and inside project folders, like real drives.
        for (std::size_t i = 0; i < libraries; ++i) {
            std::string name = std::string(kLibraryNames[i % std::size(kLibraryNames)]);
            if (i >= std::size(kLibraryNames)) name += " " + std::to_string(i / std::size(kLibraryNames) + 1);
            name += ".fcpbundle";
            std::string parentRel;
            UniqueFd parent;
            int parentFd = root.get();
            if (i % 3 == 1) {
                parentRel = "Projects/" + std::to_string(2019 + i % 6);
                parent = makePath(root.get(), parentRel);
                parentFd = parent.get();
            } else if (i % 3 == 2) {
                parentRel = "Clients/Client " + std::to_string(i);
                parent = makePath(root.get(), parentRel);
                parentFd = parent.get();
            }
            std::string rel = parentRel.empty() ? name : parentRel + "/" + name;
            makeLibrary(parentFd, name, rel, perLibrary);
        }
        makeUnrelated(root.get(), unrelated);
        return std::move(location_);
    }

  private:
    // Directories created with makePath are counted once, however often they are reused.
    UniqueFd makePath(int base, const std::string& rel) {
        UniqueFd current(::openat(base, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        std::size_t start = 0;
        while (start <= rel.size()) {
            std::size_t slash = rel.find('/', start);
            if (slash == std::string::npos) slash = rel.size();
            std::string part = rel.substr(start, slash - start);
            UniqueFd next(::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!next) next = makeDir(current.get(), part);
            current = std::move(next);
            start = slash + 1;
        }
        return current;
    }

    UniqueFd makeDir(int parent, const std::string& name) {
        const bool made = ::mkdirat(parent, name.c_str(), 0755) == 0;
        if (!made && errno != EEXIST) throw std::system_error(errno, std::generic_category(), "mkdir " + name);
        UniqueFd fd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd) throw std::system_error(errno, std::generic_category(), "open " + name);
        if (made) countEntry();
        return fd;
    }

    // The folder of a category's data inside an event, made along its sub-path.
    UniqueFd makeCategoryDir(int event, CacheCategory category) {
        std::string_view rest = categoryInfo(category).subPath;
        UniqueFd dir = makeDir(event, std::string(rest.substr(0, rest.find('/'))));
        for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
            rest.remove_prefix(slash + 1);
            dir = makeDir(dir.get(), std::string(rest.substr(0, rest.find('/'))));
        }
        return dir;
    }

    // Returns the bytes written so callers can attribute them.
    std::int64_t makeFile(int parent, const std::string& name, std::int64_t size) {
        UniqueFd fd(::openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd) throw std::system_error(errno, std::generic_category(), "create " + name);
        // Sparse: the logical size is what every measurement counts.
        if (size > 0 && ::ftruncate(fd.get(), size) != 0)
            throw std::system_error(errno, std::generic_category(), "ftruncate " + name);
        countEntry();
        location_.bytes += size;
        if (library_ != nullptr) library_->size += size;
        return size;
    }

    void countEntry() {
        ++location_.entries;
        if (library_ != nullptr) ++library_->entries;
    }

    std::int64_t sizeIn(SizeRange range) { return rng_.logBetween(range.lo, range.hi); }

    std::string hashName(std::size_t length) {
        static const char digits[] = "0123456789abcdef";
        std::string out(length, '0');
        for (char& c : out)
            c = digits[rng_.next() % 16];
        return out;
    }

    std::string clipName(std::size_t index) {
        char number[24];
        std::snprintf(number, sizeof number, "%04zu", index);
        return std::string(rng_.pick(kClipPrefixes)) + number + rng_.pick(kClipExtensions);
    }

    // Files spread over folders of `filesPerFolder` (roughly), each folder from `folderName`.
    template <typename FolderName, typename FileSize>
    std::int64_t filesInFolders(int parent, std::size_t budget, std::size_t filesPerFolder,
                                FolderName folderName, const std::string& extension, FileSize fileSize) {
        std::int64_t total = 0;
        std::size_t folderIndex = 0;
        while (budget >= 2) {
            UniqueFd folder = makeDir(parent, folderName(folderIndex++));
            --budget;
            std::size_t files =
                std::min<std::size_t>(budget, rng_.between(filesPerFolder / 2 + 1, filesPerFolder * 3 / 2));
            for (std::size_t f = 0; f < files; ++f) {
                char name[32];
                std::snprintf(name, sizeof name, "%05zu", f);
                total += makeFile(folder.get(), name + extension, fileSize());
            }
            budget -= files;
        }
        return total;
    }

    void makeLibrary(int parent, const std::string& name, const std::string& rel, std::size_t budget) {
        UniqueFd lib = makeDir(parent, name); // below the location, not below the library
        location_.libraries.emplace_back();
        library_ = &location_.libraries.back();
        library_->relativePath = rel;
        library_->path = location_.root + "/" + rel;

        makeFile(lib.get(), "CurrentVersion.flexolibrary", rng_.between(20 * KiB, 400 * KiB));
        makeFile(lib.get(), "Settings.plist", rng_.between(1 * KiB, 8 * KiB));
        makeFile(lib.get(), ".lock", 0);
        makeFile(lib.get(), ".lock-info", rng_.between(200, 600));
        {
            UniqueFd temp = makeDir(lib.get(), "__Temp");
            makeFile(temp.get(), "CurrentVersion.flexolibrary.tmp", rng_.between(0, 64 * KiB));
        }
        {
            UniqueFd motion = makeDir(lib.get(), "Motion Templates.localized");
            makeFile(motion.get(), ".localized", 0);
            UniqueFd titles = makeDir(motion.get(), "Titles.localized");
            makeFile(titles.get(), "Lower Third.moti", rng_.between(4 * KiB, 200 * KiB));
        }
        std::size_t used = library_->entries;
        std::size_t remaining = budget > used ? budget - used : 0;
        std::size_t events = std::clamp<std::size_t>(remaining / 2500, 1, 40);
        for (std::size_t e = 0; e < events; ++e) {
            std::string eventName = std::string(kEventNames[(e + rng_.next()) % std::size(kEventNames)]);
            eventName += " " + std::to_string(e + 1);
            library_->eventFolders.push_back(eventName);
            makeEvent(lib.get(), eventName, remaining / events);
        }
        library_ = nullptr;
    }

    void makeEvent(int libFd, const std::string& name, std::size_t budget) {
        UniqueFd event = makeDir(libFd, name);
        makeFile(event.get(), "CurrentVersion.fcpevent", rng_.between(8 * KiB, 2 * MiB));
        auto share = [&](double part) {
            return static_cast<std::size_t>(static_cast<double>(budget) * part);
        };

        {
            UniqueFd original = makeDir(event.get(), "Original Media");
            std::size_t clips = std::max<std::size_t>(1, share(0.12));
            for (std::size_t c = 0; c < clips; ++c)
                makeFile(original.get(), clipName(c), sizeIn(sizes_->original));
        }
        {
            UniqueFd render = makeCategoryDir(event.get(), CacheCategory::render);
            std::int64_t bytes = 0;
            struct Kind {
                const char* name;
                double part;
                std::size_t perFolder;
                const char* extension;
                SizeRange range;
            } kinds[] = {{"High Quality Media", 0.25, 8, ".mov", sizes_->renderVideo},
                         {"Peaks Data", 0.11, 6, ".peaks", sizes_->peaks},
                         {"Thumbnail Media", 0.11, 12, ".jpg", sizes_->thumbnail}};
            for (const Kind& kind : kinds) {
                UniqueFd kindDir = makeDir(render.get(), kind.name);
                bytes += filesInFolders(
                    kindDir.get(), share(kind.part), kind.perFolder,
                    [&](std::size_t) { return hashName(32); }, kind.extension,
                    [&] { return sizeIn(kind.range); });
            }
            library_->categorySizes[categoryIndex(CacheCategory::render)] += bytes;
        }
        {
            UniqueFd proxy = makeCategoryDir(event.get(), CacheCategory::proxy);
            std::size_t proxies = std::max<std::size_t>(1, share(0.13));
            for (std::size_t c = 0; c < proxies; ++c)
                library_->categorySizes[categoryIndex(CacheCategory::proxy)] +=
                    makeFile(proxy.get(), clipName(c), sizeIn(sizes_->proxy));
            UniqueFd optimized = makeCategoryDir(event.get(), CacheCategory::optimized);
            std::size_t optimizedCount = std::max<std::size_t>(1, share(0.09));
            for (std::size_t c = 0; c < optimizedCount; ++c)
                library_->categorySizes[categoryIndex(CacheCategory::optimized)] +=
                    makeFile(optimized.get(), clipName(c), sizeIn(sizes_->optimized));
        }
        {
            UniqueFd analysis = makeCategoryDir(event.get(), CacheCategory::analysis);
            std::size_t kinds = 1 + rng_.next() % std::size(kAnalysisKinds);
            std::size_t perKind = std::max<std::size_t>(1, share(0.13) / kinds);
            for (std::size_t k = 0; k < kinds; ++k) {
                UniqueFd kindDir = makeDir(analysis.get(), kAnalysisKinds[k]);
                for (std::size_t f = 0; f < perKind; ++f)
                    library_->categorySizes[categoryIndex(CacheCategory::analysis)] +=
                        makeFile(kindDir.get(), hashName(16) + ".dat", sizeIn(sizes_->analysis));
            }
        }
        {
            UniqueFd shared = makeDir(event.get(), "Shared Items");
            std::size_t items = std::max<std::size_t>(1, share(0.04));
            for (std::size_t s = 0; s < items; ++s)
                makeFile(shared.get(), "Shared " + std::to_string(s) + ".fcpxml", sizeIn(sizes_->shared));
        }
    }

    // What else lives on an editing drive: camera card dumps, photos, music, exports and
    // project folders, none with a library in them. The scan walks them all.
    void makeUnrelated(int root, std::size_t budget) {
        const std::size_t start = location_.entries;
        auto left = [&] { return location_.entries - start < budget; };
        std::size_t index = 0;
        while (left()) {
            ++index;
            switch (rng_.next() % 6) {
            case 0: { // camera card: every clip with its thumbnail and low-resolution copy
                UniqueFd clips = makePath(root, "Footage/Card " + std::to_string(index) + "/DCIM/100MEDIA");
                const auto count = rng_.between(3, 25);
                for (std::int64_t c = 0; c < count && left(); ++c) {
                    char stem[32];
                    std::snprintf(stem, sizeof stem, "GX01%04lld", static_cast<long long>(c));
                    makeFile(clips.get(), std::string(stem) + ".MP4", sizeIn(sizes_->original));
                    makeFile(clips.get(), std::string(stem) + ".THM", sizeIn(sizes_->thumbnail));
                    makeFile(clips.get(), std::string(stem) + ".LRV", sizeIn(sizes_->proxy));
                }
                break;
            }
            case 1: { // photos by day
                UniqueFd day = makePath(root, "Photos/" + std::to_string(2018 + index % 7) + "/Day " +
                                                  std::to_string(index));
                const auto count = rng_.between(10, 80);
                for (std::int64_t c = 0; c < count && left(); ++c)
                    makeFile(day.get(), "IMG_" + std::to_string(1000 + c) + rng_.pick(kPhotoExtensions),
                             sizeIn(sizes_->shared));
                break;
            }
            case 2: { // music by artist and album
                UniqueFd album = makePath(root, "Music/Artist " + std::to_string(index % 40) + "/Album " +
                                                    std::to_string(index));
                const auto count = rng_.between(8, 16);
                for (std::int64_t c = 0; c < count && left(); ++c)
                    makeFile(album.get(), std::to_string(c + 1) + " Track.m4a", sizeIn(sizes_->proxy));
                break;
            }
            case 3: { // exports per client
                UniqueFd exports = makePath(root, "Exports/Client " + std::to_string(index % 25));
                const auto count = rng_.between(2, 10);
                for (std::int64_t c = 0; c < count && left(); ++c)
                    makeFile(exports.get(),
                             "Export " + std::to_string(index) + "-" + std::to_string(c) + ".mp4",
                             sizeIn(sizes_->original));
                break;
            }
            case 4: { // a project folder with its assets
                const std::string project = "Projects/Project " + std::to_string(index);
                for (const char* part : {"Graphics", "Audio", "Documents"}) {
                    if (!left()) break;
                    UniqueFd folder = makePath(root, project + "/" + part);
                    const auto count = rng_.between(3, 20);
                    for (std::int64_t c = 0; c < count && left(); ++c)
                        makeFile(folder.get(), "Asset " + std::to_string(c) + rng_.pick(kDocumentExtensions),
                                 sizeIn(sizes_->shared));
                }
                break;
            }
            default: { // a hidden thumbnail cache
                UniqueFd cache = makePath(root, ".cache/thumbnails/" + hashName(2));
                const auto count = rng_.between(5, 50);
                for (std::int64_t c = 0; c < count && left(); ++c)
                    makeFile(cache.get(), hashName(32) + ".png", sizeIn(sizes_->thumbnail));
                break;
            }
            }
        }
    }

    const SampleOptions& options_;
    Rng rng_;
    const MediaSizes* sizes_;
    SampleLocation location_;
    SampleLibrary* library_ = nullptr;
};

} // namespace

SampleLocation generateSampleLocation(const std::string& dir, const SampleOptions& options) {
    return Generator(options).run(dir);
}

} // namespace velmora::samples
