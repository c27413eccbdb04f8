#pragma once

#include "model/Model.h"

namespace CWS {
class Support;
}

// A zig-zag of slanted struts between the bodies of two pillars of one model. Built once in
// scene coordinates; it does not follow later changes of its pillars.
class SupportLinker : public Model
{
public:
    SupportLinker();
    ~SupportLinker() override;

    // Returns the number of struts; 0 when the pillars leave no room for one.
    int build(CWS::Support *a, CWS::Support *b);

    CWS::Support *supportA = nullptr; // not owned
    CWS::Support *supportB = nullptr; // not owned
    float topMargin = 1.0f;           // mm kept free below the lower body top
    float bottomMargin = 2.0f;        // mm kept free above the higher body bottom
    int segmentCount = 32;

private:
    // One strut from p at height zP down to q at zQ.
    void addStrut(const CWS::Support &p, float zPMm, const CWS::Support &q, float zQMm,
                  float radiusMm);
};
