#pragma once

#include <QAbstractListModel>

#include <vector>

#include "library/fcp_bundle.h"

namespace velmora {

// fcpBundles as a list model for QML: each record's fields and its ready-made texts.
class BundleListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // QString, 8-4-4-4-12
        PathRole,
        DisplayNameRole,
        SizeRole,
        CacheSizeRole,
        ProxySizeRole,
        OptimizedSizeRole,
        AnalysisSizeRole,
        TitleTextRole,        // "Demo.fcpbundle (1.00 GB)"
        CacheSizeTextRole,    // "缓存大小: 0.00 GB"
        ProxySizeTextRole,    // "代理媒体: 0.00 GB"
        OptimizedSizeTextRole,// "优化媒体: 0.00 GB"
        AnalysisSizeTextRole, // "媒体分析缓存: 0.00 GB"
    };

    explicit BundleListModel(QObject* parent = nullptr);

    // Replaces the whole list at once.
    void setBundles(std::vector<FCPBundle> bundles);
    [[nodiscard]] const std::vector<FCPBundle>& bundles() const { return items; }
    [[nodiscard]] int count() const { return static_cast<int>(items.size()); }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    std::vector<FCPBundle> items;
};

} // namespace velmora
