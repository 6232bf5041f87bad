#include "ui/bundle_list_model.h"

#include "i18n/translation.h"
#include "library/cache_category.h"
#include "library/format_size.h"

namespace velmora {

namespace {

QString sizeText(std::int64_t bytes) {
    return QString::fromStdString(formatSize(bytes));
}

// "缓存大小: %1" and its siblings, looked up whole, with the size text inserted.
QString categoryText(CacheCategory category, const FCPBundle& bundle) {
    const auto& info = categoryInfo(category);
    return translate(cacheCategoryTextContext, info.sizeText).arg(sizeText(bundle.*info.sizeField));
}

} // namespace

BundleListModel::BundleListModel(QObject* parent) : QAbstractListModel(parent) {}

void BundleListModel::setBundles(std::vector<FCPBundle> bundles) {
    if (bundles.empty() && items.empty()) return;
    const bool countChanges = bundles.size() != items.size();
    beginResetModel();
    items = std::move(bundles);
    endResetModel();
    if (countChanges) emit countChanged();
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
        return QVariant::fromValue<qint64>(b.cacheSize);
    case ProxySizeRole:
        return QVariant::fromValue<qint64>(b.proxySize);
    case OptimizedSizeRole:
        return QVariant::fromValue<qint64>(b.optimizedSize);
    case AnalysisSizeRole:
        return QVariant::fromValue<qint64>(b.analysisSize);
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
    };
}

} // namespace velmora
