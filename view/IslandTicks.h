#pragma once

#include "workspace/IslandController.h"

#include <QPointer>
#include <QQuickPaintedItem>

#include <vector>

// A tick across a vertical layer slider at each layer with an island, layer 0 at the bottom.
// A lattice has islands in thousands of layers: the layers are copied when they change and
// painted as lines, one per pixel row at most, instead of an item each.
class IslandTicks : public QQuickPaintedItem
{
    Q_OBJECT
    Q_PROPERTY(
        IslandController *controller READ controller WRITE setController NOTIFY controllerChanged)
    // The slider's highest layer: it sits at the top.
    Q_PROPERTY(int lastLayer READ lastLayer WRITE setLastLayer NOTIFY lastLayerChanged)
    // Where the handle's centre stops short of each end of the item.
    Q_PROPERTY(double insetPx READ insetPx WRITE setInsetPx NOTIFY insetPxChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit IslandTicks(QQuickItem *parent = nullptr);

    IslandController *controller() const { return m_controller; }
    void setController(IslandController *controller);
    int lastLayer() const { return m_lastLayer; }
    void setLastLayer(int layer);
    double insetPx() const { return m_insetPx; }
    void setInsetPx(double inset);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    // The row of a layer's tick in item pixels (fractional), from the bottom up.
    static double rowOf(int layer, int lastLayer, double heightPx, double insetPx);

    void paint(QPainter *painter) override;

signals:
    void controllerChanged();
    void lastLayerChanged();
    void insetPxChanged();
    void colorChanged();

private:
    void copyLayers();

    QPointer<IslandController> m_controller;
    std::vector<int> m_layers;
    int m_lastLayer = 0;
    double m_insetPx = 0.0;
    QColor m_color = QColor(220, 30, 30);
};
