#pragma once

#include "library/fcp_bundle.h"
#include "ui/bundle_list_model.h"

#include <QCollator>
#include <QSortFilterProxyModel>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace velmora {

// The order and the filter the list shows fcpBundles in: a view of the list, never a change of
// it. Rows keep their records' roles; selection stays with the record, since it is kept by id.
class BundleSortFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("ContentView.shownBundles is the one list order")
    // The keys the sort bar offers, in its order: each {key: a SortKey, label: its name in the
    // user's language}.
    Q_PROPERTY(QVariantList sortKeys READ sortKeys CONSTANT)
    // A SortKey.
    Q_PROPERTY(int sortKey READ sortKey NOTIFY sortChanged)
    Q_PROPERTY(bool descending READ descending NOTIFY sortChanged)
    // Libraries whose path contains this text (case and canonical form ignored) are shown.
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // "3 / 2,000 个资源库" while a filter is active, empty otherwise.
    Q_PROPERTY(QString countText READ countText NOTIFY countChanged)

  public:
    enum SortKey { ScanOrder, Name, Total, Reclaimable };
    Q_ENUM(SortKey)

    explicit BundleSortFilterModel(BundleListModel* source, QObject* parent = nullptr);

    [[nodiscard]] QVariantList sortKeys() const;
    [[nodiscard]] int sortKey() const { return key; }
    [[nodiscard]] bool descending() const { return isDescending; }
    // A new key sorts names A to Z and sizes largest first; the current key again reverses
    // the order. ScanOrder shows the scanner's order.
    // `sortKey` is a SortKey; other values are ignored.
    Q_INVOKABLE void sortBy(int sortKey);
    void setSort(SortKey sortKey, bool descendingOrder);

    [[nodiscard]] QString filterText() const { return filter; }
    void setFilterText(const QString& text);

    [[nodiscard]] int count() const { return rowCount(); }
    [[nodiscard]] QString countText() const;

    // The shown row of the record with this id, -1 when it is not shown.
    Q_INVOKABLE [[nodiscard]] int rowOf(const QString& bundleId) const;
    // The id of the record shown at `row`, empty outside the rows.
    Q_INVOKABLE [[nodiscard]] QString idAt(int row) const;

  signals:
    void sortChanged();
    void filterTextChanged();
    void countChanged();

  protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    [[nodiscard]] const FCPBundle& record(int sourceRow) const;

    BundleListModel* source;
    SortKey key = ScanOrder;
    bool isDescending = false;
    QString filter;
    std::string foldedFilter;
    QCollator collator;
};

} // namespace velmora
