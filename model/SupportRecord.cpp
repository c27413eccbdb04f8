// The support record of a project file: the model record, then the pillar's lengths, its
// markers and its part list. Version 1.0 put lengths and markers first and had no parts.
#include "model/RecordIo.h"
#include "model/Support.h"

#include <QDataStream>
#include <QDebug>

#include <array>
#include <utility>

namespace CWS {

namespace {

// The markers in their stored order.
template <typename S> std::array<decltype(&std::declval<S &>().footIndexEnd), 9> markersOf(S &s)
{
    return {&s.footIndexEnd,   &s.headIndexEnd,        &s.bodyIndexEnd,
            &s.headIndexStart, &s.bodyBottomRingStart, &s.headVertexEnd,
            &s.bodyTopCentre,  &s.bodyBottomCentre,    &s.bodyVertexEnd};
}

void writeLengthsAndMarkers(QDataStream &out, const Support &s)
{
    out << s.headHeightUsed << s.footHeightUsed;
    for (const int *marker : markersOf(s))
        out << qint32(*marker);
}

bool readLengthsAndMarkers(QDataStream &in, Support &s)
{
    if (!RecordIo::readFiniteFloat(in, &s.headHeightUsed) ||
        !RecordIo::readFiniteFloat(in, &s.footHeightUsed))
        return false;
    for (int *marker : markersOf(s)) {
        qint32 value = 0;
        in >> value;
        *marker = value;
    }
    return in.status() == QDataStream::Ok;
}

// Shifting the foot and bracing read vertices at the markers; a marker off the mesh would
// reach outside it.
bool markersFitMesh(const Support &s)
{
    const qint64 v = qint64(s.mesh->vertices.size());
    const qint64 i = qint64(s.mesh->indices.size());
    auto within = [](qint64 value, qint64 limit) { return value >= 0 && value <= limit; };
    auto vertex = [v](qint64 value) { return value >= 0 && (value < v || value == 0); };
    return within(s.footIndexEnd, i) && within(s.headIndexEnd, i) && within(s.bodyIndexEnd, i) &&
           within(s.headIndexStart, i) && within(s.bodyBottomRingStart, v) &&
           within(s.headVertexEnd, v) && within(s.bodyVertexEnd, v) && vertex(s.bodyTopCentre) &&
           vertex(s.bodyBottomCentre);
}

bool readParts(QDataStream &in, Support &s)
{
    qint32 count = -1;
    in >> count;
    if (in.status() != QDataStream::Ok || !RecordIo::fits(in, count, 8)) {
        qWarning() << "bad part count" << count;
        return false;
    }
    const qint64 indexCount = qint64(s.mesh->indices.size());
    s.partStarts.clear();
    s.partStarts.reserve(size_t(count));
    qint64 previous = 0;
    for (qint32 k = 0; k < count; ++k) {
        qint64 start = -1;
        in >> start;
        // Parts follow each other inside the index list.
        if (in.status() != QDataStream::Ok || start < previous || start > indexCount) {
            qWarning() << "bad part start" << start;
            return false;
        }
        s.partStarts.push_back(int(start));
        previous = start;
    }
    return true;
}

} // namespace

void Support::writeRecord(QDataStream &out) const
{
    Model::writeRecord(out);
    writeLengthsAndMarkers(out, *this);
    out << qint32(partStarts.size());
    for (int start : partStarts)
        out << qint64(start);
}

bool Support::readRecord(QDataStream &in, int major, int minor)
{
    partStarts.clear();
    if (minor == 0) {
        // No part list: the whole index list is sliced as one part.
        if (!readLengthsAndMarkers(in, *this) || !Model::readRecord(in, major, minor)) {
            qWarning() << "support record damaged";
            return false;
        }
    } else if (!Model::readRecord(in, major, minor) || !readLengthsAndMarkers(in, *this) ||
               !readParts(in, *this)) {
        qWarning() << "support record damaged";
        return false;
    }
    if (!markersFitMesh(*this)) {
        qWarning() << "support markers outside the mesh";
        return false;
    }
    return true;
}

} // namespace CWS
