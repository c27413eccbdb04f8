#include "view/IslandTicks.h"

#include "workspace/IslandController.h"

#include <QPainter>

#include <cmath>

IslandTicks::IslandTicks(QQuickItem *parent) : QQuickPaintedItem(parent) {}

void IslandTicks::setController(IslandController *controller)
{
    if (controller == m_controller)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_controller = controller;
    if (m_controller)
        connect(m_controller, &IslandController::islandsChanged, this, &IslandTicks::copyLayers);
    copyLayers();
    emit controllerChanged();
}

void IslandTicks::setLastLayer(int layer)
{
    if (layer == m_lastLayer)
        return;
    m_lastLayer = layer;
    update();
    emit lastLayerChanged();
}

void IslandTicks::setInsetPx(double inset)
{
    if (inset == m_insetPx)
        return;
    m_insetPx = inset;
    update();
    emit insetPxChanged();
}

void IslandTicks::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
    emit colorChanged();
}

void IslandTicks::copyLayers()
{
    m_layers = m_controller ? m_controller->islandLayers() : std::vector<int>();
    update();
}

double IslandTicks::rowOf(int layer, int lastLayer, double heightPx, double insetPx)
{
    const double travel = std::max(0.0, heightPx - 2.0 * insetPx);
    const double ratio = lastLayer > 0 ? double(layer) / double(lastLayer) : 0.0;
    return insetPx + (1.0 - ratio) * travel;
}

void IslandTicks::paint(QPainter *painter)
{
    if (m_layers.empty() || m_lastLayer <= 0)
        return;
    painter->setPen(QPen(m_color, 1.0));
    const double w = width();
    int lastRow = -1;
    for (int layer : m_layers) {
        if (layer > m_lastLayer)
            break; // beyond what the slider reaches
        const int row = int(std::floor(rowOf(layer, m_lastLayer, height(), m_insetPx)));
        if (row == lastRow)
            continue; // many layers share a row on a tall scene
        lastRow = row;
        painter->drawLine(QPointF(0.0, row + 0.5), QPointF(w, row + 0.5));
    }
}
