#include "cws/JobSnapshot.h"

#include <algorithm>

namespace CWS {

JobSnapshot::JobSnapshot(std::vector<ObjectSnapshot> objects, const SliceBuildConfig &settings,
                         const PrinterModelConfig &printer, bool antiAlias, double antiAliasFactor)
    : m_objects(std::move(objects)), m_settings(settings), m_printer(printer),
      m_antiAlias(antiAlias), m_antiAliasFactor(antiAliasFactor)
{
    m_settings.antiAliasOff();
}

SliceBuildConfig JobSnapshot::layerSettings() const
{
    SliceBuildConfig s = m_settings;
    s.setAntiAlias(m_antiAlias, m_antiAliasFactor);
    return s;
}

void JobSnapshot::prepareCuts(int layersPerBucket)
{
    for (ObjectSnapshot &object : m_objects)
        object.prepareCuts(m_settings.layerThicknessMm * float(std::max(layersPerBucket, 1)));
}

void JobSnapshot::releaseCuts()
{
    for (ObjectSnapshot &object : m_objects)
        object.releaseCuts();
}

} // namespace CWS
