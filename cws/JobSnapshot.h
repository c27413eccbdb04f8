#pragma once

#include "config/PrinterModelConfig.h"
#include "config/SliceBuildConfig.h"
#include "model/ObjectSnapshot.h"

#include <vector>

namespace CWS {

// Everything a background job reads, taken on the GUI thread when it starts: every printing
// object (the plate never), the job settings, the printer and the anti-aliasing choice. Jobs
// work from this alone, so nothing the window changes meanwhile reaches them.
class JobSnapshot
{
public:
    JobSnapshot() = default;
    JobSnapshot(std::vector<ObjectSnapshot> objects, const SliceBuildConfig &settings,
                const PrinterModelConfig &printer, bool antiAlias, double antiAliasFactor);

    const std::vector<ObjectSnapshot> &objects() const { return m_objects; }
    // At the job's own resolution, never supersampled.
    const SliceBuildConfig &settings() const { return m_settings; }
    const PrinterModelConfig &printer() const { return m_printer; }
    bool antiAlias() const { return m_antiAlias; }
    double antiAliasFactor() const { return m_antiAliasFactor; }
    // What each layer is drawn with: supersampled by the factor when anti-aliasing is on.
    SliceBuildConfig layerSettings() const;

    // Bucketed world copies of every object for the length of a job (ObjectSnapshot::prepareCuts),
    // layersPerBucket layers high: higher buckets hold each triangle fewer times and give each
    // cut more triangles to test.
    void prepareCuts(int layersPerBucket = 1);
    void releaseCuts();

private:
    std::vector<ObjectSnapshot> m_objects;
    SliceBuildConfig m_settings;
    PrinterModelConfig m_printer;
    bool m_antiAlias = false;
    double m_antiAliasFactor = 1.0;
};

} // namespace CWS
