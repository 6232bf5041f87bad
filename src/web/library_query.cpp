#include "web/library_query.h"

#include "platform/text.h"
#include "web/request_text.h"

#include <algorithm>

namespace velmora::web {

namespace {

constexpr std::size_t kLargestPage = 1000;
// A page of ids alone is small: a whole large root's order fits in one.
constexpr std::size_t kLargestIdPage = 100000;

// An absent count keeps its default.
bool parseCount(const std::string& text, std::size_t& value) {
    if (text.empty()) return true;
    const std::optional<std::uint64_t> number = wholeNumber(text);
    if (number) value = static_cast<std::size_t>(*number);
    return number.has_value();
}

// Names in the order people expect: case and accents aside, runs of digits by their value
// ("Cut 2" before "Cut 10").
bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            std::size_t endA = i, endB = j;
            while (endA < a.size() && a[endA] == '0') ++endA;
            while (endB < b.size() && b[endB] == '0') ++endB;
            std::size_t startA = endA, startB = endB;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA])) != 0) ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB])) != 0) ++endB;
            const std::string_view numberA = a.substr(startA, endA - startA), numberB = b.substr(startB, endB - startB);
            if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
            if (numberA != numberB) return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

std::optional<std::string> parseLibraryQuery(const std::string& sort, const std::string& order,
                                             const std::string& filter, const std::string& offset,
                                             const std::string& limit, const std::string& fields,
                                             LibraryQuery& query) {
    using Key = LibraryQuery::Key;
    const std::pair<const char*, Key> keys[] = {{"", Key::scan},           {"scan", Key::scan},
                                                {"name", Key::name},       {"size", Key::size},
                                                {"reclaimable", Key::reclaimable}, {"lastModified", Key::lastModified}};
    const auto key = std::find_if(std::begin(keys), std::end(keys), [&](const auto& k) { return sort == k.first; });
    if (key == std::end(keys)) return "sort must be one of scan, name, size, reclaimable, lastModified";
    query.key = key->second;
    // Sizes and times come largest and newest first unless asked otherwise.
    query.descending = query.key == Key::size || query.key == Key::reclaimable || query.key == Key::lastModified;
    if (order == "asc")
        query.descending = false;
    else if (order == "desc")
        query.descending = true;
    else if (!order.empty())
        return "order must be asc or desc";
    if (filter.size() > 1000) return "filter is too long";
    query.filter = foldedForm(filter);
    if (!parseCount(offset, query.offset)) return "offset must be a whole number";
    if (fields != "" && fields != "id") return "fields must be id or left out";
    query.idsOnly = fields == "id";
    if (!parseCount(limit, query.limit) || query.limit == 0 ||
        query.limit > (query.idsOnly ? kLargestIdPage : kLargestPage))
        return query.idsOnly ? "limit must be a whole number from 1 to 100000"
                             : "limit must be a whole number from 1 to 1000";
    return std::nullopt;
}

LibraryIndex::LibraryIndex(const std::vector<FCPBundle>& libraries) : libraries_(libraries) {
    names_.reserve(libraries.size());
    paths_.reserve(libraries.size());
    for (const FCPBundle& library : libraries) {
        names_.push_back(foldedForm(library.displayName));
        paths_.push_back(foldedForm(library.relativePath));
    }
}

const std::vector<std::uint32_t>& LibraryIndex::order(LibraryQuery::Key key, bool descending) {
    // Called with mutex_ held.
    std::vector<std::uint32_t>& sorted = orders_[{key, descending}];
    if (sorted.size() == libraries_.size()) return sorted;
    sorted.resize(libraries_.size());
    for (std::uint32_t i = 0; i < sorted.size(); ++i)
        sorted[i] = i;
    using Key = LibraryQuery::Key;
    auto less = [&](std::uint32_t a, std::uint32_t b) {
        const FCPBundle& x = libraries_[a];
        const FCPBundle& y = libraries_[b];
        switch (key) {
        case Key::scan:
            return a < b;
        case Key::name:
            return naturalLess(names_[a], names_[b]);
        case Key::size:
            return x.size < y.size;
        case Key::reclaimable:
            return x.reclaimable() < y.reclaimable();
        case Key::lastModified:
            return x.lastModified < y.lastModified; // none before any time
        }
        return a < b;
    };
    // Equal keys keep the scan's order either way.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return descending ? less(b, a) : less(a, b); });
    return sorted;
}

std::vector<const FCPBundle*> LibraryIndex::select(const LibraryQuery& query) {
    std::vector<const FCPBundle*> out;
    std::unique_lock lock(mutex_);
    // An order, once sorted, is only read: the walk over it needs no lock.
    const std::vector<std::uint32_t>& sorted = order(query.key, query.descending);
    lock.unlock();
    for (std::uint32_t i : sorted) {
        if (!query.filter.empty() && names_[i].find(query.filter) == std::string::npos &&
            paths_[i].find(query.filter) == std::string::npos)
            continue;
        out.push_back(&libraries_[i]);
    }
    return out;
}

} // namespace velmora::web
