#pragma once

#include <QObject>

namespace CWS {

// Support head and foot dimensions shared by every support built afterwards (mm).
class SupportConfig : public QObject
{
    Q_OBJECT
public:
    explicit SupportConfig(QObject *parent = nullptr);

    Q_INVOKABLE float headTopRadius() const { return m_headTopRadiusMm; }
    Q_INVOKABLE void setHeadTopRadius(float radius) { m_headTopRadiusMm = radius; }
    Q_INVOKABLE float headBottomRadius() const { return m_headBottomRadiusMm; }
    // The body always widens slightly towards the foot.
    Q_INVOKABLE void setHeadBottomRadius(float radius);
    Q_INVOKABLE float footTopRadius() const { return m_footTopRadiusMm; }
    Q_INVOKABLE float footBottomRadius() const { return m_footBottomRadiusMm; }
    Q_INVOKABLE float headHeight() const { return m_headHeightMm; }
    Q_INVOKABLE void setHeadHeight(float h) { m_headHeightMm = h; }
    Q_INVOKABLE float footHeight() const { return m_footHeightMm; }

    int segmentCount() const { return m_segmentCount; }
    float supportSpacing() const { return m_supportSpacingMm; }

private:
    float m_headTopRadiusMm = 0.6f;
    float m_headBottomRadiusMm = 0.8f;
    float m_footTopRadiusMm = 0.9f;
    float m_footBottomRadiusMm = 1.0f;
    float m_headHeightMm = 2.0f;
    float m_footHeightMm = 1.0f;
    int m_segmentCount = 32;
    float m_supportSpacingMm = 5.0f;
};

} // namespace CWS
