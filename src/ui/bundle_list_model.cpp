#include "ui/bundle_list_model.h"

#include "i18n/category_texts.h"
#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "library/cache_category.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

namespace velmora {

namespace {

QString sizeText(std::int64_t bytes) {
    return groupedSize(bytes);
}

// "缓存大小: %1" and its siblings, looked up whole, with the size text inserted.
QString categoryText(CacheCategory category, std::int64_t bytes) {
    return categoryText(category, CategoryText::sizeLine).arg(sizeText(bytes));
}

QString categoryText(CacheCategory category, const FCPBundle& bundle) {
    return categoryText(category, bundle.sizeOf(category));
}

// The stacked bar of one whole and its four kinds, each a fraction of `fullWidth` bytes. The
// kinds never reach past the whole, nor the whole past the full width.
QVariantList barFractions(std::int64_t whole, const std::array<std::int64_t, 4>& kinds,
                          std::int64_t fullWidth) {
    QVariantList fractions;
    if (fullWidth <= 0) return {0.0, 0.0, 0.0, 0.0, 0.0};
    const double wholeFraction =
        std::clamp(static_cast<double>(whole) / static_cast<double>(fullWidth), 0.0, 1.0);
    fractions << wholeFraction;
    double left = wholeFraction;
    for (std::int64_t bytes : kinds) {
        const double part =
            std::clamp(static_cast<double>(bytes) / static_cast<double>(fullWidth), 0.0, left);
        fractions << part;
        left -= part;
    }
    return fractions;
}

// What a bar shows, read out: the whole, then the four kinds with their row labels.
QString barDescription(std::int64_t whole, const std::array<std::int64_t, 4>& kinds) {
    return translate("BundleListModel", "总大小 %1；%2；%3；%4；%5")
        .arg(sizeText(whole), categoryText(CacheCategory::render, kinds[0]),
             categoryText(CacheCategory::proxy, kinds[1]), categoryText(CacheCategory::optimized, kinds[2]),
             categoryText(CacheCategory::analysis, kinds[3]));
}

std::array<std::int64_t, 4> kindsOf(const FCPBundle& b) {
    return b.categorySizes;
}

// For each record, whether another one's name reads the same to a person (case and
// composition aside).
std::vector<bool> sharedNames(const std::vector<FCPBundle>& bundles) {
    std::unordered_map<std::string, int> uses;
    std::vector<std::string> keys;
    keys.reserve(bundles.size());
    for (const FCPBundle& b : bundles)
        ++uses[keys.emplace_back(foldedForm(b.displayName))];
    std::vector<bool> shared;
    shared.reserve(bundles.size());
    for (const std::string& key : keys)
        shared.push_back(uses[key] > 1);
    return shared;
}

QString parentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? QString()
                                      : QString::fromStdString(slash == 0 ? "/" : path.substr(0, slash));
}

} // namespace

BundleListModel::BundleListModel(QObject* parent) : QAbstractListModel(parent) {}

void BundleListModel::setBundles(std::vector<FCPBundle> bundles) {
    if (bundles.empty() && items.empty()) return;
    const bool countChanges = bundles.size() != items.size();
    beginResetModel();
    items = std::move(bundles);
    sums = sumLibraries(items);
    largest = 0;
    for (const FCPBundle& b : items)
        largest = std::max(largest, b.size);
    sharesName = sharedNames(items);
    endResetModel();
    if (countChanges) emit countChanged();
    emit totalsChanged();
}

const FCPBundle* BundleListModel::find(const QString& id) const {
    const std::optional<Uuid> wanted = Uuid::parse(id.toStdString());
    if (!wanted) return nullptr;
    for (const FCPBundle& bundle : items)
        if (bundle.id == *wanted) return &bundle;
    return nullptr;
}

int BundleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant BundleListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.parent().isValid() || index.row() < 0 || index.row() >= count()) return {};
    const FCPBundle& b = items[static_cast<std::size_t>(index.row())];
    switch (role) {
    case IdRole:
        return QString::fromStdString(b.id.toString());
    case PathRole:
        return QString::fromStdString(b.path);
    case Qt::DisplayRole:
    case DisplayNameRole:
        return QString::fromStdString(b.displayName);
    case SizeRole:
        return QVariant::fromValue<qint64>(b.size);
    case CacheSizeRole:
        return QVariant::fromValue<qint64>(b.cacheSize());
    case ProxySizeRole:
        return QVariant::fromValue<qint64>(b.proxySize());
    case OptimizedSizeRole:
        return QVariant::fromValue<qint64>(b.optimizedSize());
    case AnalysisSizeRole:
        return QVariant::fromValue<qint64>(b.analysisSize());
    case TitleTextRole:
        // One multi-argument arg(): a "%1" inside a library's name is not replaced again.
        return translate("BundleListModel", "%1 (%2)")
            .arg(QString::fromStdString(b.displayName), sizeText(b.size));
    case CacheSizeTextRole:
        return categoryText(CacheCategory::render, b);
    case ProxySizeTextRole:
        return categoryText(CacheCategory::proxy, b);
    case OptimizedSizeTextRole:
        return categoryText(CacheCategory::optimized, b);
    case AnalysisSizeTextRole:
        return categoryText(CacheCategory::analysis, b);
    case SizeBarRole:
        return barFractions(b.size, kindsOf(b), largest);
    case SizeBarDescriptionRole:
        return barDescription(b.size, kindsOf(b));
    case SharedNameFolderRole:
        return sharesName[static_cast<std::size_t>(index.row())] ? parentFolder(b.path) : QString();
    default:
        return {};
    }
}

QHash<int, QByteArray> BundleListModel::roleNames() const {
    return {
        {IdRole, "bundleId"},
        {PathRole, "path"},
        {DisplayNameRole, "displayName"},
        {SizeRole, "size"},
        {CacheSizeRole, "cacheSize"},
        {ProxySizeRole, "proxySize"},
        {OptimizedSizeRole, "optimizedSize"},
        {AnalysisSizeRole, "analysisSize"},
        {TitleTextRole, "titleText"},
        {CacheSizeTextRole, "cacheSizeText"},
        {ProxySizeTextRole, "proxySizeText"},
        {OptimizedSizeTextRole, "optimizedSizeText"},
        {AnalysisSizeTextRole, "analysisSizeText"},
        {SizeBarRole, "sizeBar"},
        {SizeBarDescriptionRole, "sizeBarDescription"},
        {SharedNameFolderRole, "sharedNameFolder"},
    };
}

QStringList BundleListModel::totalsCategoryTexts() const {
    if (items.empty()) return {};
    const std::array<std::int64_t, 4>& kinds = sums.categorySizes;
    QStringList texts;
    for (std::size_t i = 0; i < allCacheCategories.size(); ++i)
        texts << categoryText(allCacheCategories[i], kinds[i]);
    return texts;
}

QVariantList BundleListModel::totalsBar() const {
    return barFractions(sums.size, sums.categorySizes, sums.size);
}

QString BundleListModel::totalsBarDescription() const {
    if (items.empty()) return {};
    return barDescription(sums.size, sums.categorySizes);
}

} // namespace velmora
