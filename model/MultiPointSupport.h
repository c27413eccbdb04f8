#pragma once

#include "model/PickHit.h"
#include "model/Support.h"

#include <vector>

// One support for several contact points: a bridge between two points, or struts from every
// point to a common trunk over the lowest point (the hub). Each piece is a closed part.
class MultiPointSupport : public CWS::Support
{
public:
    explicit MultiPointSupport(const CWS::SupportConfig *config, Model *owner = nullptr);
    MultiPointSupport(const MultiPointSupport &other);
    ~MultiPointSupport() override;

    // The support record, then the points and the foot flag (model/MultiPointSupportRecord.cpp).
    void writeRecord(QDataStream &out) const override;
    bool readRecord(QDataStream &in, int major, int minor) override;
    // Moves the trunk's foot down, and only when there is one.
    void shiftBottom(float dzMm) override;

    // Builds in scene coordinates and maps into the owner's frame; false leaves no usable mesh.
    bool build(const std::vector<PickHit> &hits);

    std::vector<PickHit> points; // in click order
    bool hasFoot = false;
    int segmentCount = 32; // trunk and struts of the tree form

private:
    bool buildTwoPoint(const QVector3D &p0, const QVector3D &p1);
    bool buildTree(size_t hub);
};
