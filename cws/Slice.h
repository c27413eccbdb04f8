#pragma once

#include <QRunnable>

namespace CWS {

class Slicer;

// One layer of a slicing job on the job's pool: drawn from the job's snapshot, then handed to
// the slicer to be written.
class Slice : public QRunnable
{
public:
    Slice(Slicer &slicer, int layerIndex, float zMm);

    void run() override;

    int layerIndex() const { return m_layerIndex; }
    float zMm() const { return m_zMm; }

private:
    Slicer &m_slicer;
    int m_layerIndex;
    float m_zMm;
};

} // namespace CWS
