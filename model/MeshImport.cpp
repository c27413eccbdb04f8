#include "model/MeshImport.h"

#include "model/MeshParts.h"
#include "model/SplitWork.h"

#include <QDebug>
#include <QFile>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace MeshImport {

namespace {

// The vertex count of a well-formed binary STL (size = 84 + 50 per triangle), else 0.
qint64 binaryStlVertexCount(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 84)
        return 0;
    const QByteArray head = f.read(84);
    if (head.size() != 84)
        return 0;
    const uchar *c = reinterpret_cast<const uchar *>(head.constData()) + 80;
    const quint32 triangles =
        quint32(c[0]) | quint32(c[1]) << 8 | quint32(c[2]) << 16 | quint32(c[3]) << 24;
    if (triangles == 0 || f.size() != 84 + qint64(triangles) * 50)
        return 0;
    return qint64(triangles) * 3;
}

// A model at this size runs close to the memory the flat-normal layout can afford.
constexpr size_t kLargeMeshVertices = 178957;

// One use of a mesh by a node of the file, in depth-first order, placed by the node's
// accumulated transformation.
struct MeshUse
{
    const aiMesh *mesh;
    aiMatrix4x4 transform;
    int node;
    size_t triangles;
};

size_t triangleCount(const aiMesh *m)
{
    if (!m->mVertices || !m->mFaces)
        return 0;
    size_t n = 0;
    for (unsigned f = 0; f < m->mNumFaces; ++f)
        n += m->mFaces[f].mNumIndices == 3;
    return n;
}

void collectMeshes(const aiScene *scene, const aiNode *node, const aiMatrix4x4 &parentTransform,
                   std::vector<MeshUse> &uses, int &nodeCount)
{
    qDebug() << "processAssimpNode" << node << "mesh" << node->mNumMeshes << "children"
             << node->mNumChildren;
    const int id = nodeCount++;
    const aiMatrix4x4 transform = parentTransform * node->mTransformation;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const unsigned meshIndex = node->mMeshes[i];
        if (meshIndex < scene->mNumMeshes && scene->mMeshes[meshIndex])
            uses.push_back({scene->mMeshes[meshIndex], transform, id, 0});
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i)
        if (node->mChildren[i])
            collectMeshes(scene, node->mChildren[i], transform, uses, nodeCount);
}

// x - x is NaN exactly when x is NaN or infinite: one branch-free test per vertex.
bool isFinite(const aiVector3D &p)
{
    return (p.x - p.x) == 0.0f && (p.y - p.y) == 0.0f && (p.z - p.z) == 0.0f;
}

// Copies the positions and normals as they are; false when a position is not finite.
bool copyVertices(const aiMesh *src, Vertex *out)
{
    const aiVector3D *positions = src->mVertices;
    const aiVector3D *normals = src->mNormals;
    bool finiteHalves[2] = {true, true};
    splitInTwo(src->mNumVertices, [&](size_t begin, size_t stop) {
        bool finite = true;
        if (normals) {
            for (size_t i = begin; i < stop; ++i) {
                const aiVector3D &p = positions[i];
                const aiVector3D &n = normals[i];
                finite &= isFinite(p);
                out[i] = Vertex{p.x, p.y, p.z, n.x, n.y, n.z};
            }
        } else {
            for (size_t i = begin; i < stop; ++i) {
                const aiVector3D &p = positions[i];
                finite &= isFinite(p);
                out[i] = Vertex{p.x, p.y, p.z, 0.0f, 0.0f, 0.0f};
            }
        }
        finiteHalves[begin == 0 ? 0 : 1] = finite;
    });
    return finiteHalves[0] && finiteHalves[1];
}

// Positions through the node's transformation, normals through its inverse transpose; a normal
// of zero length stays zero, so that unusable normals are still recognised.
bool copyPlacedVertices(const aiMesh *src, const aiMatrix4x4 &transform, Vertex *out)
{
    aiMatrix3x3 normalMatrix(transform);
    const float det = normalMatrix.Determinant();
    const bool turnNormals = det != 0.0f && std::isfinite(det);
    if (turnNormals)
        normalMatrix.Inverse().Transpose();
    bool finite = true;
    for (unsigned i = 0; i < src->mNumVertices; ++i) {
        const aiVector3D p = transform * src->mVertices[i];
        finite &= isFinite(p);
        aiVector3D n = src->mNormals ? src->mNormals[i] : aiVector3D();
        if (turnNormals && n.SquareLength() > 0.0f) {
            n = normalMatrix * n;
            const float length = n.Length();
            if (length > 0.0f && std::isfinite(length))
                n /= length;
        }
        out[i] = Vertex{p.x, p.y, p.z, n.x, n.y, n.z};
    }
    return finite;
}

// Appends the mesh's vertices and its triangles, with indices moved past the vertices already
// there. Points and lines that survive triangulation are left out: the index list holds whole
// triangles only. False when the mesh names a vertex it does not have or holds a position that
// is not finite.
bool readMesh(const MeshUse &use, MeshPrimitiveData &mesh)
{
    const aiMesh *src = use.mesh;
    qDebug() << "processAssimpMesh, total vertices:" << src->mNumVertices;
    std::vector<Vertex> &vertices = mesh.vertices;
    const size_t first = mesh.preparedVertices ? 0 : vertices.size();
    const size_t end = first + src->mNumVertices;
    // Storage prepared while the file was read is used as it is; otherwise it grows here.
    if (vertices.size() != end)
        vertices.resize(end);
    mesh.preparedVertices = false;
    const bool finite = use.transform == aiMatrix4x4()
                            ? copyVertices(src, vertices.data() + first)
                            : copyPlacedVertices(src, use.transform, vertices.data() + first);
    qDebug() << "read vertices succeed:" << vertices.size() << vertices.capacity()
             << vertices.max_size();

    qDebug() << "total faces:" << src->mNumFaces;
    std::vector<uint32_t> &indices = mesh.indices;
    unsigned highest = 0;
    for (unsigned f = 0; f < src->mNumFaces; ++f) {
        const aiFace &face = src->mFaces[f];
        if (face.mNumIndices != 3)
            continue;
        const unsigned a = face.mIndices[0], b = face.mIndices[1], c = face.mIndices[2];
        highest = std::max(highest, std::max(a, std::max(b, c)));
        indices.push_back(uint32_t(first + a));
        indices.push_back(uint32_t(first + b));
        indices.push_back(uint32_t(first + c));
    }
    qDebug() << "indices:" << indices.size() << indices.capacity() << indices.max_size();
    if (highest >= src->mNumVertices) {
        qWarning() << "invalid mesh data: index" << highest << "beyond" << src->mNumVertices
                   << "vertices";
        return false;
    }
    if (!finite) {
        qWarning() << "invalid mesh data: vertex position not finite";
        return false;
    }
    return true;
}

// Every mesh with triangles, depth first, into one mesh; the pieces say where each landed.
// False when none has triangles, the sum passes the limits, or one is unusable.
bool readAllMeshes(const aiScene *scene, MeshPrimitiveData &mesh,
                   std::vector<MeshParts::Piece> &pieces)
{
    std::vector<MeshUse> uses;
    int nodeCount = 0;
    collectMeshes(scene, scene->mRootNode, aiMatrix4x4(), uses, nodeCount);
    size_t vertexTotal = 0;
    size_t indexTotal = 0;
    for (size_t k = 0; k < uses.size(); ++k) {
        MeshUse &use = uses[k];
        use.triangles = triangleCount(use.mesh);
        if (use.triangles == 0) {
            qInfo() << "skip mesh" << k << "of the file: no faces (" << use.mesh->mNumVertices
                    << "vertices of points or lines)";
            continue;
        }
        vertexTotal += use.mesh->mNumVertices;
        indexTotal += use.triangles * 3;
    }
    qDebug() << "meshes with faces:" << vertexTotal << "vertices," << indexTotal << "indices";
    if (indexTotal == 0)
        return false;
    if (vertexTotal > kMaxVertices || indexTotal > kMaxIndices) {
        qWarning() << "model too large:" << vertexTotal << "vertices," << indexTotal << "indices";
        return false;
    }
    if (vertexTotal >= kLargeMeshVertices)
        qDebug() << "memory is exhausting, suggest switch to SmoothNormal mode";
    if (!mesh.preparedVertices)
        mesh.vertices.reserve(vertexTotal);
    mesh.indices.reserve(indexTotal);

    for (size_t k = 0; k < uses.size(); ++k) {
        if (uses[k].triangles == 0)
            continue;
        qDebug() << "process mesh" << k;
        const int first = int(mesh.indices.size());
        if (!readMesh(uses[k], mesh))
            return false;
        pieces.push_back({first, int(mesh.indices.size()), uses[k].node});
    }
    return true;
}

} // namespace

bool readMeshes(const QString &path, bool smoothNormals, bool generateNormals,
                MeshPrimitiveData &mesh)
{
    const QByteArray localPath = QFile::encodeName(path);
    qDebug() << "load " << localPath.constData();

    // A binary STL says how many vertices it will give (three a triangle): the memory for
    // them is made ready on the other core while the file is read.
    std::thread prepare;
    if (mesh.vertices.empty()) {
        const qint64 vertexCount = binaryStlVertexCount(path);
        if (vertexCount > 0) {
            mesh.preparedVertices = true;
            prepare =
                std::thread([&mesh, vertexCount] { mesh.vertices.resize(size_t(vertexCount)); });
        }
    }
    struct Joiner
    {
        std::thread &t;
        ~Joiner()
        {
            if (t.joinable())
                t.join();
        }
    } joiner{prepare};

    Assimp::Importer importer;
    int components = kKeepNormalsComponents;
    if (smoothNormals || generateNormals) {
        qDebug() << "using smooth normal";
        components = kDropNormalsComponents;
    }
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, components);
    qDebug() << "AI_CONFIG_PP_RVC_FLAGS:" << importer.GetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS);

    const unsigned flags = smoothNormals ? kSmoothNormalsFlags : kFlatNormalsFlags;
    const aiScene *scene = importer.ReadFile(localPath.constData(), flags);
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) {
        qDebug() << "ERROR: ASSIMP: " << importer.GetErrorString() << "\n";
        if (prepare.joinable())
            prepare.join();
        mesh.vertices = std::vector<Vertex>();
        mesh.preparedVertices = false;
        return false;
    }
    qDebug() << "assimp read file succeed, mesh size: " << scene->mNumMeshes;
    if (prepare.joinable())
        prepare.join();

    // The file is user data: an index past the vertices or a non-finite position would crash
    // or poison every later pass, so such a file is refused.
    std::vector<MeshParts::Piece> pieces;
    const bool read = readAllMeshes(scene, mesh, pieces);
    mesh.preparedVertices = false;
    if (!read) {
        mesh.vertices = std::vector<Vertex>();
        mesh.indices = std::vector<uint32_t>();
        mesh.partStarts.clear();
        return false;
    }
    MeshParts::arrange(mesh, pieces);
    return true;
}

} // namespace MeshImport
