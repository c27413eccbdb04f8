#include "model/MeshImport.h"

#include "model/SplitWork.h"

#include <QDebug>
#include <QFile>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>
#include <thread>

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

// A mesh at this size runs close to the memory the flat-normal layout can afford.
constexpr unsigned kLargeMeshVertices = 178957;

// Appends the mesh's vertices and its triangles. Points and lines that survive triangulation
// are left out: the index list holds whole triangles only. False when the mesh names a vertex
// it does not have or holds a position that is not finite.
bool readMesh(const aiMesh *src, MeshPrimitiveData &mesh)
{
    qDebug() << "processAssimpMesh, total vertices:" << src->mNumVertices;
    if (!src->mVertices || !src->mFaces)
        return true;
    std::vector<Vertex> &vertices = mesh.vertices;
    const size_t first = mesh.preparedVertices ? 0 : vertices.size();
    const size_t end = first + src->mNumVertices;
    // Storage prepared while the file was read is used as it is; otherwise it grows here.
    if (vertices.size() != end)
        vertices.resize(end);
    mesh.preparedVertices = false;
    Vertex *out = vertices.data() + first;
    const aiVector3D *positions = src->mVertices;
    const aiVector3D *normals = src->mNormals;
    // One branch-free test per vertex: x - x is NaN exactly when x is NaN or infinite.
    auto isFinite = [](const aiVector3D &p) {
        return (p.x - p.x) == 0.0f && (p.y - p.y) == 0.0f && (p.z - p.z) == 0.0f;
    };
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
    const bool finite = finiteHalves[0] && finiteHalves[1];
    qDebug() << "read vertices succeed:" << vertices.size() << vertices.capacity()
             << vertices.max_size();
    if (src->mNumVertices >= kLargeMeshVertices)
        qDebug() << "memory is exhausting, suggest switch to SmoothNormal mode";

    qDebug() << "total faces:" << src->mNumFaces;
    std::vector<uint32_t> &indices = mesh.indices;
    indices.reserve(indices.size() + size_t(src->mNumFaces) * 3);
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
    // A mesh without triangles must not leave its vertices in front of the next mesh's.
    if (indices.empty()) {
        vertices.resize(first);
        return true;
    }
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

// Depth first; true once a mesh has delivered triangles. `bad` is set when one was unusable.
bool readNode(const aiScene *scene, const aiNode *node, MeshPrimitiveData &mesh, bool &bad)
{
    qDebug() << "processAssimpNode" << node << "mesh" << node->mNumMeshes << "children"
             << node->mNumChildren;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        qDebug() << "process mesh" << i;
        const unsigned meshIndex = node->mMeshes[i];
        if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex])
            continue;
        if (!readMesh(scene->mMeshes[meshIndex], mesh)) {
            bad = true;
            return false;
        }
        if (!mesh.indices.empty()) {
            if (i + 1 < node->mNumMeshes)
                qWarning() << "skip" << node->mNumMeshes - i - 1 << "meshes in file";
            return true;
        }
    }
    for (unsigned i = 0; i < node->mNumChildren && !bad; ++i) {
        if (!node->mChildren[i])
            continue;
        if (readNode(scene, node->mChildren[i], mesh, bad)) {
            if (i + 1 < node->mNumChildren)
                qWarning() << "skip" << node->mNumChildren - i - 1 << "children nodes in file";
            return true;
        }
    }
    return false;
}

} // namespace

bool readFirstMesh(const QString &path, bool smoothNormals, bool generateNormals,
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
    // or poison every later pass, so such a mesh is refused.
    bool bad = false;
    const bool read = readNode(scene, scene->mRootNode, mesh, bad);
    mesh.preparedVertices = false;
    if (!read || bad) {
        mesh.vertices = std::vector<Vertex>();
        mesh.indices = std::vector<uint32_t>();
        return false;
    }
    return true;
}

} // namespace MeshImport
