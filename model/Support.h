#pragma once

#include "model/Model.h"

#include <QVector3D>

#include <vector>

class SupportLinker;

namespace CWS {

class SupportConfig;

// A single pillar under one contact point: a head (contact dome on a cone), a body and a
// foot on the platform, each a closed part of its own. Built in scene coordinates, then kept
// in its owner's frame so it follows every transform of the owner.
class Support : public Model
{
public:
    // The parameters are shared and read whenever the pillar or its linkers are built.
    explicit Support(const SupportConfig *config, Model *owner = nullptr);
    // Copies the mesh, the part list and the markers; the copy gets a fresh name.
    Support(const Support &other);
    ~Support() override;

    QMatrix4x4 normalMatrix() const override;
    // The model record, then the lengths, the markers and the part list (model/SupportRecord.cpp).
    void writeRecord(QDataStream &out) const override;
    bool readRecord(QDataStream &in, int major, int minor) override;
    // Head, body and foot are cut separately, one segment list each.
    std::vector<int> cutParts() const override;
    // Moves the body's lower ring and the foot down by dz; the head stays.
    void shiftBottom(float dzMm) override;

    // top: contact point in scene mm; normal: outward surface normal there.
    bool build(Model *owner, const QVector3D &top, const QVector3D &normal);
    // Braces this pillar to its owner's nearest other pillar: the new linker, already hung on
    // the owner, which the caller adds to the scene; null when no pillar is near.
    SupportLinker *linkToNearest();

    // Scene-space positions of the body's axis ends (what linkers and the search read).
    QVector3D bodyTopWorld() const;
    QVector3D bodyBottomWorld() const;
    bool hasBodyMarkers() const;

    // The head axis for a contact normal: never more than 40 degrees from vertical.
    static QVector3D headDirection(const QVector3D &normal);
    // Takes the next "Support_" name of the process.
    static QString nextName();

    const SupportConfig *config = nullptr;
    // Index-list positions where the parts begin: head, body, foot after a build.
    std::vector<int> partStarts;
    float headHeightUsed = 0.0f;
    float footHeightUsed = 0.0f;
    int bodyTopCentre = 0;
    int bodyBottomCentre = 0;
    int bodyBottomRingStart = 0;
    int headIndexStart = 0;
    int headIndexEnd = 0;
    int bodyIndexEnd = 0;
    int footIndexEnd = 0;
    int headVertexEnd = 0;
    int bodyVertexEnd = 0;

protected:
    Support(int type, const SupportConfig *config, Model *owner);
    // Every vertex from bodyBottomRingStart on, moved down by dz.
    void moveBottom(float dzMm);
    // Starts a new part at the current end of the index list.
    void startPart();

private:
    QVector3D worldVertex(int index) const;
};

} // namespace CWS
