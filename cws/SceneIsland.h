#pragma once

namespace CWS {

// A region of one layer that has nothing solid under it in the layer below: where a print
// starts in mid-air. Positions are plate millimetres (x, y from the plate centre, as the Move
// page shows them), in single precision as every length of the scene. Kept small: a
// lattice has tens of thousands.
class SceneIsland
{
public:
    SceneIsland() = default;
    SceneIsland(int layer, float zMm, float xMm, float yMm, float areaMm2, int objectIndex)
        : m_layer(layer), m_zMm(zMm), m_xMm(xMm), m_yMm(yMm), m_areaMm2(areaMm2),
          m_objectIndex(objectIndex)
    {
    }

    int layer() const { return m_layer; }
    // The height the layer is cut at.
    float zMm() const { return m_zMm; }
    // The centre of the region's bounding box.
    float xMm() const { return m_xMm; }
    float yMm() const { return m_yMm; }
    float areaMm2() const { return m_areaMm2; }
    // Position of the owning object in the job's object list, -1 when none drew it.
    int objectIndex() const { return m_objectIndex; }

    bool operator==(const SceneIsland &o) const
    {
        return m_layer == o.m_layer && m_zMm == o.m_zMm && m_xMm == o.m_xMm && m_yMm == o.m_yMm &&
               m_areaMm2 == o.m_areaMm2 && m_objectIndex == o.m_objectIndex;
    }
    bool operator!=(const SceneIsland &o) const { return !(*this == o); }

private:
    int m_layer = 0;
    float m_zMm = 0.0f;
    float m_xMm = 0.0f;
    float m_yMm = 0.0f;
    float m_areaMm2 = 0.0f;
    int m_objectIndex = -1;
};

} // namespace CWS
