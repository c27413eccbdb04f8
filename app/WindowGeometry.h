#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// The frameless main window's geometry rules, as plain functions.
namespace WindowGeometry {

// The window dragged at the given edges (Qt::Edges bits) by delta from its start geometry;
// never below the minimum size, the opposite edges staying where they were.
QRect resized(const QRect &start, int edges, const QPoint &delta, const QSize &minimum);

// A size restored from the settings, brought back within the minimum and within the largest
// screen (a size larger than every screen shrinks to the largest one).
QSize fitted(const QSize &stored, const QSize &minimum, const QList<QRect> &screens);

// A dialog's geometry: at least the minimum size (as far as the screen allows), centred over
// the window it belongs to (over the screen when that window has no geometry yet), and moved
// back onto the screen where the centre would push it off.
QRect placedOver(const QSize &dialog, const QSize &minimum, const QRect &over,
                 const QRect &available);

} // namespace WindowGeometry
