#include "cws/Slice.h"

#include "cws/LayerDrawing.h"
#include "cws/Slicer.h"

#include <QDebug>

#include <exception>

namespace CWS {

Slice::Slice(Slicer &slicer, int layerIndex, float zMm)
    : m_slicer(slicer), m_layerIndex(layerIndex), m_zMm(zMm)
{
}

void Slice::run()
{
    m_slicer.layerStarted(m_layerIndex);
    QImage image;
    try {
        image = LayerDrawing::drawLayer(m_slicer.job().objects(), m_slicer.layerSettings(), m_zMm);
    } catch (const std::exception &e) {
        qWarning() << "slicer exception" << e.what();
        m_slicer.layerAbandoned(m_layerIndex, true);
        return;
    }
    if (m_slicer.cancelled())
        m_slicer.layerAbandoned(m_layerIndex, false);
    else
        m_slicer.writeLayer(m_layerIndex, image);
}

} // namespace CWS
