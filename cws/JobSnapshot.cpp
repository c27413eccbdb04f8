#include "cws/JobSnapshot.h"

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

void JobSnapshot::prepareCuts()
{
    for (ObjectSnapshot &object : m_objects)
        object.prepareCuts(m_settings.layerThicknessMm);
}

void JobSnapshot::releaseCuts()
{
    for (ObjectSnapshot &object : m_objects)
        object.releaseCuts();
}

} // namespace CWS
