#pragma once

#include "model/Model.h"

// A flat slab (raft) under one model, from the platform up to its thickness, reaching 2 mm
// beyond the model's footprint. Built in scene coordinates, then kept in the model's frame.
class SupportBase : public Model
{
public:
    SupportBase();
    SupportBase(const SupportBase &other);
    ~SupportBase() override;

    QMatrix4x4 normalMatrix() const override;

    // The owner's vertical moves reach the slab through Model::shiftSupports.
    bool build(Model *owner, float thicknessMm);

    float thickness = 1.0f; // mm
};
