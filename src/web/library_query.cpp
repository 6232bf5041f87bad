#include "web/library_query.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>

namespace velmora::web {

namespace {

constexpr std::size_t kLargestPage = 1000;

bool parseCount(const std::string& text, std::size_t& value) {
    if (text.empty()) return true;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
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
                                             const std::string& limit, LibraryQuery& query) {
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
    if (!parseCount(limit, query.limit) || query.limit == 0 || query.limit > kLargestPage)
        return "limit must be a whole number from 1 to 1000";
    return std::nullopt;
}

std::vector<const FCPBundle*> selectLibraries(const std::vector<FCPBundle>& libraries, const LibraryQuery& query) {
    std::vector<const FCPBundle*> out;
    std::vector<std::string> names; // folded, for the filter and the name order
    for (const FCPBundle& library : libraries) {
        std::string name = foldedForm(library.displayName);
        if (!query.filter.empty() && name.find(query.filter) == std::string::npos &&
            foldedForm(library.relativePath).find(query.filter) == std::string::npos)
            continue;
        out.push_back(&library);
        names.push_back(std::move(name));
    }
    std::vector<std::size_t> order(out.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    using Key = LibraryQuery::Key;
    auto less = [&](std::size_t a, std::size_t b) {
        const FCPBundle& x = *out[a];
        const FCPBundle& y = *out[b];
        switch (query.key) {
        case Key::scan:
            return a < b;
        case Key::name:
            return naturalLess(names[a], names[b]);
        case Key::size:
            return x.size < y.size;
        case Key::reclaimable:
            return x.reclaimable() < y.reclaimable();
        case Key::lastModified:
            return x.lastModified < y.lastModified; // none before any time
        }
        return a < b;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return query.descending ? less(b, a) : less(a, b);
    });
    std::vector<const FCPBundle*> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order)
        sorted.push_back(out[i]);
    return sorted;
}

} // namespace velmora::web
