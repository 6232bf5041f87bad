#include "cli/scan_command.h"

#include "cli/commands.h"
#include "discovery/scanner.h"
#include "i18n/category_texts.h"
#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "library/cache_category.h"
#include "library/format_size.h"
#include "platform/optional_thread.h"
#include "platform/unique_fd.h"
#include "report/json_fields.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utf8proc.h>

namespace velmora::cli {
namespace {

struct ScanArguments {
    std::string location;
    bool json = false;
    bool crossFileSystems = false;
    unsigned threads = 0;
};

// The live line on stderr while a scan runs, redrawn from the scan's counters. None when the
// system gives no thread for it (a process limit): the scan matters, the line does not.
class ProgressLine {
  public:
    explicit ProgressLine(const ScanProgress& progress)
        : progress_(progress), format_(translate("ScanCommand", "已扫描 %1 项 · 找到 %2 个资源库")),
          thread_(threadIfGiven([this] { run(); })) {}
    ~ProgressLine() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
        std::fputs("\r\033[K", stderr); // leave the terminal line empty again
        std::fflush(stderr);
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        do {
            const std::string line =
                "\r\033[K" + format_
                                 .arg(groupedNumber(progress_.entriesRead.load(std::memory_order_relaxed)),
                                      groupedNumber(progress_.librariesFound.load(std::memory_order_relaxed)))
                                 .toStdString();
            std::fputs(line.c_str(), stderr);
            std::fflush(stderr);
        } while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; }));
    }

    const ScanProgress& progress_;
    const QString format_; // looked up once, before the thread starts
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Why the location cannot be scanned, or nothing when it can.
std::string locationProblem(const std::string& location) {
    const QString shown = fromUtf8(terminalSafe(location));
    struct stat st {};
    if (::stat(location.c_str(), &st) != 0) {
        if (errno == ENOENT) return translate("ScanCommand", "位置不存在: %1").arg(shown).toStdString();
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        return translate("ScanCommand", "无法访问位置: %1 (%2)").arg(shown, reason).toStdString();
    }
    if (!S_ISDIR(st.st_mode)) return translate("ScanCommand", "位置不是目录: %1").arg(shown).toStdString();
    UniqueFd fd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        return translate("ScanCommand", "无法读取位置: %1 (%2)").arg(shown, reason).toStdString();
    }
    return {};
}

int runScan(const ScanArguments& args) {
    if (std::string problem = locationProblem(args.location); !problem.empty()) {
        std::cerr << "velmora-cli: " << problem << "\n";
        return kExitUsage;
    }
    ScanProgress progress;
    ScanOptions options;
    options.progress = &progress;
    options.threads = args.threads;
    options.crossFileSystems = args.crossFileSystems;
    // Like du: one line per folder that could not be read; the listing still shows the rest,
    // and the exit status says it is incomplete.
    std::mutex unreadableMutex;
    std::vector<std::string> unreadable;
    options.onUnreadable = [&](const std::string& path, int error) {
        std::lock_guard lock(unreadableMutex);
        unreadable.push_back("velmora-cli: " + translate("ScanCommand", "无法读取目录: %1 (%2)")
                                                   .arg(QString::fromStdString(terminalSafe(path)),
                                                        QString::fromLocal8Bit(std::strerror(error)))
                                                   .toStdString());
    };
    std::vector<FCPBundle> bundles;
    if (::isatty(STDERR_FILENO)) {
        ProgressLine line(progress);
        bundles = scanBundles(args.location, options);
    } else {
        bundles = scanBundles(args.location, options);
    }
    for (const std::string& line : unreadable)
        std::cerr << line << "\n";
    if (const auto skipped = progress.mountPointsSkipped.load())
        std::cerr << "velmora-cli: "
                  << translate("ScanCommand", "未进入的挂载点: %1 (--cross-file-systems 可进入)")
                         .arg(QString::number(skipped))
                         .toStdString()
                  << "\n";
    // A reader that went away (`| head`) or a full disk: the listing is cut short, which the
    // exit status and one line say.
    const std::string out = args.json ? bundlesJson(bundles) : bundleTable(bundles);
    int writeError = 0;
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        writeError = errno;
    if (writeError != 0)
        std::cerr << "velmora-cli: "
                  << translate("ScanCommand", "列表无法写入标准输出: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(writeError)))
                         .toStdString()
                  << "\n";
    return writeError == 0 && unreadable.empty() ? kExitOk : kExitIncomplete;
}

std::string padRight(const std::string& text, std::size_t width) {
    std::size_t w = displayWidth(text);
    return w >= width ? text : text + std::string(width - w, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
    std::size_t w = displayWidth(text);
    return w >= width ? text : std::string(width - w, ' ') + text;
}

} // namespace

std::string terminalSafe(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto length = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t i = 0; i < length;) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t n = utf8proc_iterate(bytes + i, length - i, &codepoint);
        if (n <= 0) { // not UTF-8: show the byte
            out += "\\x";
            out += hex[bytes[i] >> 4];
            out += hex[bytes[i] & 15];
            ++i;
            continue;
        }
        if (codepoint == '\n') {
            out += "\\n";
        } else if (codepoint == '\t') {
            out += "\\t";
        } else if (codepoint == '\\') {
            out += "\\\\";
        } else if (codepoint < 0x20 || codepoint == 0x7f || (codepoint >= 0x80 && codepoint < 0xa0)) {
            out += "\\x";
            out += hex[(codepoint >> 4) & 15];
            out += hex[codepoint & 15];
        } else {
            out.append(text.substr(static_cast<std::size_t>(i), static_cast<std::size_t>(n)));
        }
        i += n;
    }
    return out;
}

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
    auto length = static_cast<utf8proc_ssize_t>(utf8.size());
    for (utf8proc_ssize_t i = 0; i < length;) {
        utf8proc_int32_t codepoint = 0;
        utf8proc_ssize_t n = utf8proc_iterate(bytes + i, length - i, &codepoint);
        if (n <= 0) {
            ++width;
            ++i;
            continue;
        }
        width += static_cast<std::size_t>(utf8proc_charwidth(codepoint));
        i += n;
    }
    return width;
}

std::string bundleTable(const std::vector<FCPBundle>& bundles) {
    if (bundles.empty())
        return translate("ScanCommand", "未找到 Final Cut Pro 资源库。").toStdString() + "\n";

    std::vector<std::string> header{translate("ScanCommand", "资源库").toStdString(),
                                    translate("ScanCommand", "总大小").toStdString()};
    for (CacheCategory category : allCacheCategories)
        header.push_back(categoryText(category, CategoryText::columnHeading).toStdString());
    header.push_back(translate("ScanCommand", "路径").toStdString());

    std::vector<std::vector<std::string>> rows;
    for (const FCPBundle& b : bundles) {
        std::vector<std::string> row{terminalSafe(b.displayName), formatSize(b.size)};
        for (CacheCategory category : allCacheCategories)
            row.push_back(formatSize(b.sizeOf(category)));
        row.push_back(terminalSafe(b.path));
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (std::size_t c = 0; c < header.size(); ++c)
        widths[c] = displayWidth(header[c]);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));

    auto line = [&](const std::vector<std::string>& cells) {
        std::string out = padRight(cells[0], widths[0]);
        for (std::size_t c = 1; c + 1 < cells.size(); ++c)
            out += "  " + padLeft(cells[c], widths[c]);
        out += "  " + cells.back() + "\n";
        return out;
    };
    std::string out = line(header);
    for (const auto& row : rows)
        out += line(row);
    return out;
}

std::string bundlesJson(const std::vector<FCPBundle>& bundles) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const FCPBundle& b : bundles) {
        nlohmann::ordered_json fields = libraryFields(b);
        // The path comes second, after the id, as scripts have always read it.
        nlohmann::ordered_json object;
        object["id"] = fields["id"];
        putPath(object, b.path);
        for (auto& [key, value] : fields.items())
            if (key != "id") object[key] = value;
        array.push_back(std::move(object));
    }
    return dumpJson(array);
}

void addScanCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ScanArguments>();
    CLI::App* scan =
        app.add_subcommand("scan", "List every Final Cut Pro library below LOCATION with its sizes.");
    scan->add_flag("--json", args->json, "Print one JSON array instead of the table");
    scan->add_flag("--cross-file-systems", args->crossFileSystems,
                   "Also scan folders mounted below LOCATION (other drives, shares)");
    scan->add_option("--threads", args->threads,
                     "Threads for the walk (0: by the location's storage, up to 256 on a network share)")
        ->check(CLI::Range(0u, 256u));
    scan->add_option("LOCATION", args->location, "Directory to scan")->required();
    scan->footer(kExitStatusHelp);
    scan->callback([args, &exitCode] { exitCode = runScan(*args); });
}

} // namespace velmora::cli
