#include "app/WindowGeometry.h"

#include <Qt>

#include <algorithm>

namespace WindowGeometry {

QRect resized(const QRect &start, int edges, const QPoint &delta, const QSize &minimum)
{
    int left = start.left(), top = start.top();
    int right = start.left() + start.width(), bottom = start.top() + start.height();
    if (edges & Qt::LeftEdge)
        left = std::min(left + delta.x(), right - minimum.width());
    if (edges & Qt::RightEdge)
        right = std::max(right + delta.x(), left + minimum.width());
    if (edges & Qt::TopEdge)
        top = std::min(top + delta.y(), bottom - minimum.height());
    if (edges & Qt::BottomEdge)
        bottom = std::max(bottom + delta.y(), top + minimum.height());
    return QRect(left, top, right - left, bottom - top);
}

QSize fitted(const QSize &stored, const QSize &minimum, const QList<QRect> &screens)
{
    int width = stored.width() > 0 ? stored.width() : minimum.width();
    int height = stored.height() > 0 ? stored.height() : minimum.height();
    bool fits = screens.isEmpty();
    QSize largest;
    for (const QRect &s : screens) {
        fits = fits || (width <= s.width() && height <= s.height());
        if (qint64(s.width()) * s.height() > qint64(largest.width()) * largest.height())
            largest = s.size();
    }
    if (!fits) {
        width = std::min(width, largest.width());
        height = std::min(height, largest.height());
    }
    return QSize(std::max(width, minimum.width()), std::max(height, minimum.height()));
}

QRect placedOver(const QSize &dialog, const QSize &minimum, const QRect &over,
                 const QRect &available)
{
    const int width = std::min(std::max(dialog.width(), minimum.width()), available.width());
    const int height = std::min(std::max(dialog.height(), minimum.height()), available.height());
    const QRect centre = over.isValid() ? over : available;
    int x = centre.x() + (centre.width() - width) / 2;
    int y = centre.y() + (centre.height() - height) / 2;
    x = std::max(available.x(), std::min(x, available.x() + available.width() - width));
    y = std::max(available.y(), std::min(y, available.y() + available.height() - height));
    return QRect(x, y, width, height);
}

} // namespace WindowGeometry
