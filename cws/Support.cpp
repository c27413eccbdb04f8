#include "cws/Support.h"

#include "config/QuorConfig.h"
#include "cws/SupportConfig.h"
#include "cws/SupportLinker.h"
#include "cws/SupportMesh.h"
#include "workspace/QuorModel.h"

#include <QDebug>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>

namespace CWS {

namespace {

std::atomic<int> s_nameCounter{0};

bool finite(const QVector3D &v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

} // namespace

QString Support::nextName()
{
    return QStringLiteral("Support_") + QString::number(s_nameCounter.fetch_add(1));
}

Support::Support(Model *owner) : Support(TYPE_SUPPORT, owner) {}

Support::Support(int type, Model *owner)
    : Model(type), config(QuorConfig::instance()->supportConfig())
{
    name = nextName();
    if (owner)
        owner->attachChild(this);
}

Support::Support(const Support &other)
    : Model(other), config(other.config), partStarts(other.partStarts),
      headHeightUsed(other.headHeightUsed), footHeightUsed(other.footHeightUsed),
      bodyTopCentre(other.bodyTopCentre), bodyBottomCentre(other.bodyBottomCentre),
      bodyBottomRingStart(other.bodyBottomRingStart), headIndexStart(other.headIndexStart),
      headIndexEnd(other.headIndexEnd), bodyIndexEnd(other.bodyIndexEnd),
      footIndexEnd(other.footIndexEnd), headVertexEnd(other.headVertexEnd),
      bodyVertexEnd(other.bodyVertexEnd)
{
    name = nextName();
}

Support::~Support()
{
    // A linker outliving this pillar must not reach back to it.
    if (parent) {
        for (Model *object : parent->linkers) {
            if (auto *linker = dynamic_cast<SupportLinker *>(object)) {
                if (linker->supportA == this)
                    linker->supportA = nullptr;
                if (linker->supportB == this)
                    linker->supportB = nullptr;
            }
        }
    }
}

QMatrix4x4 Support::normalMatrix() const
{
    return QMatrix4x4();
}

QVector3D Support::headDirection(const QVector3D &normal)
{
    // A degenerate face gives no usable normal; such a contact is held from straight below.
    QVector3D n = finite(normal) ? normal : QVector3D(0.0f, 0.0f, 1.0f);
    if (n.z() >= 0.0f)
        n.setZ(-0.1f);
    QVector3D d = (-n).normalized();
    if (d.z() != 0.0f) {
        const float h =
            float(std::tan(50.0 * M_PI / 180.0)) * std::sqrt(d.x() * d.x() + d.y() * d.y());
        if (h > std::fabs(d.z())) {
            d.setZ(std::copysign(h, d.z()));
            d.normalize();
        }
    }
    return d;
}

void Support::startPart()
{
    partStarts.push_back(int(mesh->indices.size()));
}

bool Support::build(Model *owner, const QVector3D &top, const QVector3D &normal)
{
    if (!finite(top)) {
        qWarning() << "support contact point is not finite" << top;
        return false;
    }
    if (owner)
        owner->attachChild(this);
    MeshPrimitiveData &m = *mesh;
    m.vertices.clear();
    m.indices.clear();
    m.baseVertexCount = 0;
    partStarts.clear();
    const int n = config->segmentCount();

    headHeightUsed = std::min(0.4f * top.z(), config->headHeight());
    footHeightUsed = std::min(0.4f * top.z(), config->footHeight());
    const QVector3D d = headDirection(normal);

    // Head: contact dome on a cone widening down the head axis.
    headIndexStart = int(m.indices.size());
    startPart();
    const QVector3D c = top - headHeightUsed * d;
    SupportMesh::bodyPiece(m, n, top, config->headTopRadius(), c, config->headBottomRadius());
    headIndexEnd = int(m.indices.size());
    headVertexEnd = int(m.vertices.size());

    // Body: vertical, from the head's lower centre down to the foot.
    startPart();
    const QVector3D bodyBottom(c.x(), c.y(), footHeightUsed);
    const uint32_t domeBase = SupportMesh::bodyPiece(m, n, c, config->headBottomRadius(),
                                                     bodyBottom, config->footTopRadius());
    bodyTopCentre = int(domeBase) + n;
    bodyBottomCentre = int(m.vertices.size()) - 1;
    bodyBottomRingStart = int(m.vertices.size()) - n - 1;
    bodyIndexEnd = int(m.indices.size());
    bodyVertexEnd = int(m.vertices.size());

    // Foot: stands on the platform.
    startPart();
    SupportMesh::cylinderPiece(m, n, QVector3D(c.x(), c.y(), 0.0f), config->footBottomRadius(),
                               bodyBottom, config->footTopRadius());
    footIndexEnd = int(m.indices.size());

    finishMesh();
    return true;
}

int Support::sliceLayer(int layerIndex, float z, SegmentListSet &out)
{
    // Without a part list the whole mesh is one part; leaving it out would drop the pillar.
    return sliceParts(layerIndex, z, partStarts, out);
}

void Support::shiftBottom(float dzMm)
{
    if (type != TYPE_SUPPORT)
        return;
    moveBottom(dzMm);
}

void Support::moveBottom(float dzMm)
{
    if (dzMm == 0.0f || std::fabs(dzMm) <= FLT_EPSILON)
        return;
    MeshPrimitiveData &m = *mesh;
    std::unique_lock<std::shared_mutex> lock(m.lock);
    const size_t end = m.baseVertexCount != 0
                           ? std::min<size_t>(m.baseVertexCount, m.vertices.size())
                           : m.vertices.size();
    for (size_t i = size_t(std::max(bodyBottomRingStart, 0)); i < end; ++i)
        m.vertices[i].pz -= dzMm;
    geometryDirty = true;
    buffersUploaded = false;
}

bool Support::hasBodyMarkers() const
{
    const int count = int(mesh->vertices.size());
    return bodyTopCentre >= 0 && bodyTopCentre < count && bodyBottomCentre >= 0 &&
           bodyBottomCentre < count;
}

QVector3D Support::worldVertex(int index) const
{
    if (index < 0 || size_t(index) >= mesh->vertices.size())
        return QVector3D();
    const Vertex &v = mesh->vertices[size_t(index)];
    return modelMatrix().map(QVector3D(v.px, v.py, v.pz));
}

QVector3D Support::bodyTopWorld() const
{
    return worldVertex(bodyTopCentre);
}

QVector3D Support::bodyBottomWorld() const
{
    return worldVertex(bodyBottomCentre);
}

SupportLinker *Support::linkToNearest()
{
    Model *owner = parent;
    if (!owner)
        return nullptr;
    const float r = std::min(config->headBottomRadius(), config->footTopRadius());
    Support *nearest = owner->findNearestSupport(this, 2.0f * r + 0.5f, 10.1f);
    if (!nearest) {
        qDebug() << "no nearby support";
        return nullptr;
    }
    QuorModel *workspace = QuorModel::instance();
    if (!workspace) {
        qWarning() << "no workspace to hold a linker";
        return nullptr;
    }
    auto *linker = new SupportLinker();
    const int struts = linker->build(this, nearest);
    qDebug() << "new linker" << struts;
    if (struts < 1) {
        delete linker;
        return nullptr;
    }
    linker->parent = owner;
    owner->linkers.push_back(linker);
    linker->finishMesh();
    workspace->addModel(linker);
    return linker;
}

} // namespace CWS
