#include "ui/screen_order.h"

#include <QAccessible>
#include <QMetaObject>
#include <algorithm>

namespace velmora {

ScreenOrder::ScreenOrder(QObject* parent) : QObject(parent) {}

void ScreenOrder::setContainer(QQuickItem* item) {
    if (watched == item) return;
    if (watched) disconnect(watched, nullptr, this, nullptr);
    watched = item;
    if (watched) {
        connect(watched, &QQuickItem::childrenChanged, this, &ScreenOrder::watchChildren);
        watchChildren();
    }
    emit containerChanged();
}

void ScreenOrder::watchChildren() {
    for (QQuickItem* child : watched->childItems()) {
        // A unique connection: a child already watched is not watched twice.
        connect(child, &QQuickItem::yChanged, this, &ScreenOrder::schedule, Qt::UniqueConnection);
        connect(child, &QQuickItem::xChanged, this, &ScreenOrder::schedule, Qt::UniqueConnection);
    }
    schedule();
}

void ScreenOrder::schedule() {
    if (scheduled) return;
    scheduled = true;
    QMetaObject::invokeMethod(this, &ScreenOrder::restack, Qt::QueuedConnection);
}

void ScreenOrder::restack() {
    scheduled = false;
    if (!watched) return;
    QList<QQuickItem*> children = watched->childItems();
    QList<QQuickItem*> shown = children;
    std::stable_sort(shown.begin(), shown.end(), [](const QQuickItem* a, const QQuickItem* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    if (shown == children) return;
    for (qsizetype i = 1; i < shown.size(); ++i)
        shown[i]->stackAfter(shown[i - 1]);
    // Screen readers that keep a copy of the children read them again.
    if (QAccessible::isActive()) {
        QAccessibleEvent reordered(watched.data(), QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&reordered);
    }
}

} // namespace velmora
