#include "model/SupportLinker.h"

#include "config/SupportConfig.h"
#include "model/Support.h"
#include "model/SupportMesh.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// More struts than any pillar inside a printer can need (each rises at least 2.5 mm).
constexpr int kMostStruts = 1000;

// The point of a pillar's body axis at height z.
QVector3D axisPointAt(const CWS::Support &s, float zMm)
{
    const QVector3D top = s.bodyTopWorld();
    const QVector3D bottom = s.bodyBottomWorld();
    const float span = top.z() - bottom.z();
    const float t = span != 0.0f ? (zMm - bottom.z()) / span : 0.0f;
    const QVector3D c = bottom + t * (top - bottom);
    qDebug() << "center" << top << bottom << c << zMm;
    return c;
}

float bodyRadius(const CWS::Support &s)
{
    return std::min(s.config->headBottomRadius(), s.config->footTopRadius());
}

} // namespace

SupportLinker::SupportLinker() : Model(TYPE_SUPPORT_LINKER)
{
    name = QStringLiteral("SupportLinker");
}

SupportLinker::~SupportLinker() = default;

void SupportLinker::addStrut(const CWS::Support &p, float zPMm, const CWS::Support &q, float zQMm,
                             float radiusMm)
{
    MeshPrimitiveData &m = *mesh;
    const int n = segmentCount;
    const QVector3D upperCentre = axisPointAt(p, zPMm);
    const QVector3D lowerCentre = axisPointAt(q, zQMm);
    const QVector3D up(0.0f, 0.0f, 1.0f);
    // Both discs stay horizontal; the band between them makes a slanted cylinder.
    const uint32_t upper = CWS::SupportMesh::ring(m, n, radiusMm, 0.0f, true);
    CWS::SupportMesh::cap(m, n, upper, true);
    CWS::SupportMesh::orient(m, upper, uint32_t(m.vertices.size()), up, upperCentre);
    const uint32_t lower = CWS::SupportMesh::ring(m, n, radiusMm, 0.0f, true);
    CWS::SupportMesh::cap(m, n, lower, false);
    CWS::SupportMesh::orient(m, lower, uint32_t(m.vertices.size()), up, lowerCentre);
    CWS::SupportMesh::side(m, n, lower, upper);
}

int SupportLinker::build(CWS::Support *a, CWS::Support *b)
{
    supportA = a;
    supportB = b;
    mesh->vertices.clear();
    mesh->indices.clear();
    if (!a || !b || a == b || !a->hasBodyMarkers() || !b->hasBodyMarkers())
        return 0;
    a->updateGeometry(false);
    b->updateGeometry(false);
    const QVector3D topA = a->bodyTopWorld();
    const QVector3D topB = b->bodyTopWorld();
    const QVector3D bottomA = a->bodyBottomWorld();
    const QVector3D bottomB = b->bodyBottomWorld();

    const float strutRadius = 0.95f * std::min(bodyRadius(*a), bodyRadius(*b));
    // Struts fall at 50 degrees from the horizontal.
    const float step = float(std::tan(50.0 * M_PI / 180.0)) * (a->center - b->center).length();
    const float upper = std::min(topA.z(), topB.z()) - topMargin;
    const float lower = std::max(bottomA.z(), bottomB.z()) + bottomMargin;
    qDebug() << "link height" << upper << lower << step << topMargin << bottomMargin;
    if (step > upper - lower) {
        qDebug() << "no space left for linker";
        return 0;
    }
    // A zero step would never leave the loop below.
    if (!(step > 0.0f))
        return 0;

    // A pillar is never metres tall; one that claims to be (a damaged project) would ask for
    // millions of struts.
    const float struts = (upper - lower) / step;
    if (!(struts <= float(kMostStruts))) {
        qWarning() << "linker span too tall:" << lower << "to" << upper;
        return 0;
    }
    const int k = int(struts);
    const CWS::Support *from = topA.z() > topB.z() ? a : b;
    const CWS::Support *to = from == a ? b : a;
    for (int i = k; i >= 1; --i) {
        addStrut(*from, lower + float(i) * step, *to, lower + float(i - 1) * step, strutRadius);
        std::swap(from, to);
    }
    return k;
}
