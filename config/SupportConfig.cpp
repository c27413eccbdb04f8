#include "config/SupportConfig.h"

namespace CWS {

SupportConfig::SupportConfig(QObject *parent) : QObject(parent) {}

void SupportConfig::setHeadBottomRadius(float radius)
{
    m_headBottomRadiusMm = radius;
    m_footTopRadiusMm = radius + 0.1f;
    m_footBottomRadiusMm = radius + 0.2f;
}

} // namespace CWS
