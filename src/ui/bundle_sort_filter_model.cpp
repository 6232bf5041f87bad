#include "ui/bundle_sort_filter_model.h"

#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "library/cache_category.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <algorithm>

namespace velmora {

namespace {

// Splits `text` into runs of decimal digits and runs of everything else.
QStringList runs(const QString& text) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= text.size(); ++i) {
        if (i == text.size() || text[i].isDigit() != text[i - 1].isDigit()) {
            parts << text.mid(start, i - start);
            start = i;
        }
    }
    return parts;
}

QString withoutLeadingZeros(const QString& digits) {
    qsizetype zeros = 0;
    while (zeros + 1 < digits.size() && digits[zeros] == QLatin1Char('0'))
        ++zeros;
    return digits.sliced(zeros);
}

// Digit runs by value, "2" before "10" and "007" after "7", the rest by the collator. Done
// here rather than by the collator's numeric mode, which the C locale does not offer.
int naturalCompare(const QCollator& collator, const QString& a, const QString& b) {
    const QStringList left = runs(a);
    const QStringList right = runs(b);
    for (qsizetype i = 0; i < std::min(left.size(), right.size()); ++i) {
        const QString& x = left[i];
        const QString& y = right[i];
        if (x[0].isDigit() && y[0].isDigit()) {
            const QString xs = withoutLeadingZeros(x);
            const QString ys = withoutLeadingZeros(y);
            if (xs.size() != ys.size()) return xs.size() < ys.size() ? -1 : 1;
            if (int order = xs.compare(ys)) return order < 0 ? -1 : 1;
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
        } else if (int order = collator.compare(x, y)) {
            return order;
        }
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

} // namespace

BundleSortFilterModel::BundleSortFilterModel(BundleListModel* sourceModel, QObject* parent)
    : QSortFilterProxyModel(parent), source(sourceModel) {
    // Names in the user's language, case aside.
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    setDynamicSortFilter(true);
    setSourceModel(sourceModel);
    connect(this, &QAbstractItemModel::modelReset, this, &BundleSortFilterModel::countChanged);
    connect(this, &QAbstractItemModel::rowsInserted, this, &BundleSortFilterModel::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &BundleSortFilterModel::countChanged);
    // The source's count is the M of "N / M".
    connect(source, &BundleListModel::countChanged, this, &BundleSortFilterModel::countChanged);
}

QVariantList BundleSortFilterModel::sortKeys() const {
    const auto entry = [](SortKey key, const QString& label) {
        return QVariantMap{{QStringLiteral("key"), static_cast<int>(key)}, {QStringLiteral("label"), label}};
    };
    return {entry(ScanOrder, translate("BundleSortFilterModel", "扫描顺序")),
            entry(Name, translate("BundleSortFilterModel", "名称")),
            entry(Total, translate("BundleSortFilterModel", "总大小")),
            entry(Reclaimable, translate("BundleSortFilterModel", "可清理大小"))};
}

const FCPBundle& BundleSortFilterModel::record(int sourceRow) const {
    return source->bundles()[static_cast<std::size_t>(sourceRow)];
}

void BundleSortFilterModel::sortBy(int sortKey) {
    if (sortKey < ScanOrder || sortKey > Reclaimable) return;
    const auto chosen = static_cast<SortKey>(sortKey);
    if (chosen == key && chosen != ScanOrder)
        setSort(key, !isDescending);
    else
        setSort(chosen, chosen == Total || chosen == Reclaimable);
}

void BundleSortFilterModel::setSort(SortKey sortKey, bool descendingOrder) {
    if (sortKey == ScanOrder) descendingOrder = false;
    if (sortKey == key && descendingOrder == isDescending) return;
    key = sortKey;
    isDescending = descendingOrder;
    // Column -1 is the source's own order. lessThan reverses by itself, so that ties keep the
    // scanner's order in both directions.
    if (key == ScanOrder)
        sort(-1);
    else {
        invalidate();
        sort(0, Qt::AscendingOrder);
    }
    emit sortChanged();
}

bool BundleSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const FCPBundle& a = record(left.row());
    const FCPBundle& b = record(right.row());
    int order = 0;
    switch (key) {
    case ScanOrder:
        break;
    case Name:
        order = naturalCompare(collator, QString::fromStdString(a.displayName),
                               QString::fromStdString(b.displayName));
        if (order == 0)
            order = naturalCompare(collator, QString::fromStdString(a.path), QString::fromStdString(b.path));
        break;
    case Total:
        order = a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
        break;
    case Reclaimable: {
        const std::int64_t ra = a.reclaimable();
        const std::int64_t rb = b.reclaimable();
        order = ra < rb ? -1 : (ra > rb ? 1 : 0);
        break;
    }
    }
    if (isDescending) order = -order;
    return order != 0 ? order < 0 : left.row() < right.row();
}

void BundleSortFilterModel::setFilterText(const QString& text) {
    if (text == filter) return;
    filter = text;
    foldedFilter = foldedForm(text.toStdString());
    invalidateFilter();
    emit filterTextChanged();
    emit countChanged();
}

bool BundleSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (sourceParent.isValid()) return false;
    if (foldedFilter.empty()) return true;
    // The path ends in the name, so this finds text in either.
    return foldedForm(record(sourceRow).path).find(foldedFilter) != std::string::npos;
}

QString BundleSortFilterModel::countText() const {
    if (filter.isEmpty()) return {};
    // The plural form follows the whole list's count.
    const auto all = static_cast<std::uint64_t>(source->count());
    return translate("BundleSortFilterModel", "%1 / %n 个资源库", nullptr, all)
        .arg(groupedNumber(static_cast<std::uint64_t>(rowCount())));
}

int BundleSortFilterModel::rowOf(const QString& bundleId) const {
    const std::optional<Uuid> wanted = Uuid::parse(bundleId.toStdString());
    if (!wanted) return -1;
    const auto& bundles = source->bundles();
    for (std::size_t i = 0; i < bundles.size(); ++i) {
        if (bundles[i].id == *wanted) return mapFromSource(source->index(static_cast<int>(i))).row();
    }
    return -1;
}

QString BundleSortFilterModel::idAt(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    return data(index(row, 0), BundleListModel::IdRole).toString();
}

} // namespace velmora
