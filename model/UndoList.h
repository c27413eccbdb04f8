#pragma once

#include "model/DoItem.h"

#include <vector>

class Model;

// The undo records of a scene, newest last, without a size limit: one for every object added
// and one for every transform step pushed. A step left at identity is dropped before the next
// one is opened, so it vanishes without trace.
class UndoList
{
public:
    const std::vector<DoItem> &records() const { return m_records; }
    bool isEmpty() const { return m_records.empty(); }
    // Set whenever a step is opened; after an undo, whether records remain.
    bool hasNewDo() const { return m_hasNewDo; }
    void setHasNewDo(bool value) { m_hasNewDo = value; }

    // Opens a new step of the given type on the model: no-op records are dropped first, then
    // the item is pushed and recorded.
    void addDo(Model *model, int type);
    // The object joined the scene.
    void recordNew(Model *object);
    void dropNoOpRecords();
    // No record may outlive its object.
    void removeRecordsOf(const Model *model);
    void removeNewest();
    void clear() { m_records.clear(); }

private:
    std::vector<DoItem> m_records;
    bool m_hasNewDo = false;
};
