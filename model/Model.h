#pragma once

#include "model/Base3DObject.h"
#include "model/LayerCut.h"
#include "model/ObjectSnapshot.h"
#include "model/TransformItem.h"

#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QVector3D>

#include <memory>
#include <vector>

class QDataStream;
class SupportLinker;
class UndoList;
namespace CWS {
class Support;
} // namespace CWS

// A scene object with a transform stack and cached world geometry: user models and the
// support family, told apart by `type`.
class Model : public Base3DObject
{
public:
    enum ModelType
    {
        TYPE_NORMAL = 0,
        TYPE_SUPPORT = 1,
        TYPE_SUPPORT_BASE = 2,
        TYPE_SUPPORT_LINKER = 3,
        TYPE_MULTI_POINT_SUPPORT = 4,
        TYPE_PLATFORM_BOTTOM = 5,
        TYPE_FRAME = 100 // the view's outline box and grid; never a mesh object
    };

    explicit Model(int type = TYPE_NORMAL);
    // Normal models share the source's mesh; the transform stack is copied, never shared.
    Model(const Model &other);
    ~Model() override;

    QMatrix4x4 modelMatrix() const override;
    QMatrix4x4 normalMatrix() const override;
    QColor color() const override;
    // Supports lower their foot by dz when their owner moves up by dz; others ignore it.
    virtual void shiftBottom(float dzMm);

    void updateGeometry(bool force);
    void attachChild(Model *child);
    void finishMesh();

    // A copy moved copyCount model depths (plus 3 mm each) along +y when `offset` is set; the
    // move is recorded in undo when one is given (as everywhere below).
    Model *duplicate(bool offset, UndoList *undo);
    struct Duplicates
    {
        std::vector<Model *> objects; // the copy first, then the copies of its support family
        std::vector<Model *> linkers; // the braces the copied pillars made, in that order
    };
    Duplicates duplicateWithSupports(UndoList *undo);
    // Unhooks the whole support family (and, for a pillar, the linkers that end at it) and
    // hands it over in the order it is to be freed; the caller frees it.
    std::vector<Model *> takeAllSupports();
    // The pillar (type 1) of this model, other than from, whose body bottom lies nearest to
    // from's horizontally within [minDistance, maxDistance]; null when none does.
    CWS::Support *findNearestSupport(const CWS::Support *from, float minDistanceMm,
                                     float maxDistanceMm) const;
    // Lifts the model to 3 mm and puts a new slab of the given thickness under it; returns the
    // new base, which the caller adds to the scene. An old base is freed here: one the scene
    // holds must be taken out of it first.
    Model *makeSupportBase(float thicknessMm, UndoList *undo);

    // Transform stack; the editing operations act on the newest item.
    void pushTransform(int type);
    bool popTransform();
    void setTranslate(float x, float y, float z);
    void translateBy(float dx, float dy, float dz);
    void setScale(float x, float y, float z);
    void setRotate(float ax, float ay, float az, const QVector3D &centre);
    void flip(int flag, UndoList *undo);
    void rotate90(UndoList *undo);
    void shiftSupports(float dzMm);
    bool isTopIdentity() const;
    // The stack changed: this model's cached geometry and its support family's are stale.
    void markTransformChanged();

    // Model import through Assimp.
    // A model taller than 200 mm is scaled down in a recorded step.
    bool load(const QUrl &url, bool smoothNormals, bool generateNormals, UndoList *undo);
    bool normalsInvalid() const;

    bool geometryDirty = true;
    QVector3D bboxMin{1000000.0f, 1000000.0f, 1000000.0f};
    QVector3D bboxMax{-1000000.0f, -1000000.0f, -1000000.0f};
    QVector3D center;
    float volume = 0.0f; // cm³
    float radius = 0.0f;
    QString name = QStringLiteral("Model");
    Model *parent = nullptr;
    std::shared_ptr<std::vector<TransformItem>> transforms;
    int copyCount = 0;
    QUrl fileUrl;
    bool selected = false;
    Model *supportBase = nullptr;
    bool justCreated = true;
    std::vector<Model *> supports;
    std::vector<Model *> linkers;
    LayerCutCache layerCutCache;

    // Project record: name and mesh in world space. The reader refuses damaged records.
    virtual void writeRecord(QDataStream &out) const;
    virtual bool readRecord(QDataStream &in, int major, int minor);

    // What a background job reads of this object, taken on the GUI thread.
    ObjectSnapshot snapshot() const;
    // The same, as if the object were lifted by raiseMm (negative lowers it); the object stays.
    ObjectSnapshot snapshot(float raiseMm) const;
    // Index-list positions where the closed parts begin; empty when the mesh is one part.
    virtual std::vector<int> cutParts() const;
    // Fills the preview cut of one layer unless it is already there.
    void buildPreviewCut(int layerIndex, float z);

    // Opens a new step, recorded in undo when there is one.
    void pushTransformWithUndo(UndoList *undo, int type);

    // Orientation and placement: tilt to the smallest height; rest on the plate or the base.
    bool autoRotate(float *axDeg, float *ayDeg);
    float moveToBottom(bool onlyIfBelow, bool newStep, UndoList *undo);
    // How far up the object would move to rest on its floor (the base's top or the plate):
    // negative when it floats above it.
    float floorGapMm();

private:
    TransformItem *topItem();
    // The triangles below the plane at z, with the new vertices where the plane cuts them.
    void fillPreviewCut(LayerCut &cut, float z);
    bool anyPartWithoutNormals() const;
};

Q_DECLARE_METATYPE(Model *)
