#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

namespace velmora {

// Keeps the children of `container` stacked in the order they are shown, top to bottom. Screen
// readers list an item's children in their stacking order, and a list view stacks its rows in
// the order it made them: rows made while scrolling up, or moved by a change of order, would be
// read out of place. Rows do not overlap, so the stacking changes nothing on screen.
class ScreenOrder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem* container READ container WRITE setContainer NOTIFY containerChanged)

  public:
    explicit ScreenOrder(QObject* parent = nullptr);

    [[nodiscard]] QQuickItem* container() const { return watched; }
    void setContainer(QQuickItem* item);

    // Restacks the container's children by their place on screen, at once.
    Q_INVOKABLE void restack();

  signals:
    void containerChanged();

  private:
    // A change of the children or of a child's place restacks once, when the events of the
    // moment are done.
    void schedule();
    void watchChildren();

    QPointer<QQuickItem> watched;
    bool scheduled = false;
};

} // namespace velmora
