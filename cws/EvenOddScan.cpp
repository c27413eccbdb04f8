#include "cws/EvenOddScan.h"

#include "cws/EdgeStepper.h"

#include <QDebug>

#include <algorithm>

namespace CWS::EvenOddScan {

void appendCrossings(const LayerRaster::PixelEdge &e, int y, std::vector<int> &xs)
{
    if (e.y0 == y && e.y1 == y) {
        xs.push_back(e.x0);
        xs.push_back(e.x1);
        return;
    }
    // An edge owns its lower end on a row, not its upper end.
    if (y == std::max(e.y0, e.y1))
        return;
    xs.push_back(EdgeStepper::interpolatedX(e, y));
}

void logOddRow(int y, int count)
{
    qDebug().noquote()
        << QStringLiteral("Row y=%1 odd # of points = %2 - Model may have holes").arg(y).arg(count);
}

} // namespace CWS::EvenOddScan
