#pragma once

#include "library/fcp_bundle.h"
#include "library/nested_libraries.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>
#include <vector>

namespace velmora {

// fcpBundles as a list model for QML: each record's fields and its ready-made texts.
class BundleListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("ContentView.fcpBundles is the one list")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The four kinds' sums for the totals under the header (whose first line, naming the
    // location, ContentView writes); empty for an empty list.
    Q_PROPERTY(QStringList totalsCategoryTexts READ totalsCategoryTexts NOTIFY totalsChanged)
    // [whole, render, proxy, optimized, analysis] as fractions of the bar: the whole location.
    Q_PROPERTY(QVariantList totalsBar READ totalsBar NOTIFY totalsChanged)
    Q_PROPERTY(QString totalsBarDescription READ totalsBarDescription NOTIFY totalsChanged)

  public:
    enum Role {
        IdRole = Qt::UserRole + 1, // QString, 8-4-4-4-12
        PathRole,
        DisplayNameRole,
        SizeRole,
        CacheSizeRole, // render files only; the other kinds have roles of their own
        ProxySizeRole,
        OptimizedSizeRole,
        AnalysisSizeRole,
        TitleTextRole,         // "Demo.fcpbundle (1.00 GB)"
        CacheSizeTextRole,     // "缓存大小: 0.00 GB"
        ProxySizeTextRole,     // "代理媒体: 0.00 GB"
        OptimizedSizeTextRole, // "优化媒体: 0.00 GB"
        AnalysisSizeTextRole,  // "媒体分析缓存: 0.00 GB"
        // [whole, render, proxy, optimized, analysis] as fractions of the bar's full width,
        // which stands for the largest library of the list, so rows compare.
        SizeBarRole,
        SizeBarDescriptionRole, // the sizes the bar shows, as text for screen readers
        // The folder that holds the library when another library of the list has the same
        // name (case aside), so the two rows can be told apart; empty otherwise.
        SharedNameFolderRole,
    };

    // Sums over the libraries of the list.
    using Totals = LibrarySums;

    explicit BundleListModel(QObject* parent = nullptr);

    // Replaces the whole list at once.
    void setBundles(std::vector<FCPBundle> bundles);
    [[nodiscard]] const std::vector<FCPBundle>& bundles() const { return items; }
    [[nodiscard]] int count() const { return static_cast<int>(items.size()); }
    // The record whose id reads `id` (8-4-4-4-12), or nullptr.
    [[nodiscard]] const FCPBundle* find(const QString& id) const;
    [[nodiscard]] const Totals& totals() const { return sums; }
    [[nodiscard]] QStringList totalsCategoryTexts() const;
    [[nodiscard]] QVariantList totalsBar() const;
    [[nodiscard]] QString totalsBarDescription() const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

  signals:
    void countChanged();
    void totalsChanged();

  private:
    std::vector<FCPBundle> items;
    Totals sums;
    std::int64_t largest = 0;     // the largest library's size: the full width of a row's bar
    std::vector<bool> sharesName; // per record: another record has the same name
};

} // namespace velmora
