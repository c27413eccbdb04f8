#include "model/MeshImport.h"

#include <QDebug>
#include <QFile>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <algorithm>

namespace MeshImport {

namespace {

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
    const size_t first = vertices.size();
    vertices.reserve(first + src->mNumVertices);
    const aiVector3D *positions = src->mVertices;
    const aiVector3D *normals = src->mNormals;
    // One branch-free test per vertex: x - x is NaN exactly when x is NaN or infinite.
    bool finite = true;
    auto isFinite = [](const aiVector3D &p) {
        return (p.x - p.x) == 0.0f && (p.y - p.y) == 0.0f && (p.z - p.z) == 0.0f;
    };
    if (normals) {
        for (unsigned i = 0; i < src->mNumVertices; ++i) {
            const aiVector3D &p = positions[i];
            const aiVector3D &n = normals[i];
            finite &= isFinite(p);
            vertices.push_back({p.x, p.y, p.z, n.x, n.y, n.z});
        }
    } else {
        for (unsigned i = 0; i < src->mNumVertices; ++i) {
            const aiVector3D &p = positions[i];
            finite &= isFinite(p);
            vertices.push_back({p.x, p.y, p.z, 0.0f, 0.0f, 0.0f});
        }
    }
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
        return false;
    }
    qDebug() << "assimp read file succeed, mesh size: " << scene->mNumMeshes;

    // The file is user data: an index past the vertices or a non-finite position would crash
    // or poison every later pass, so such a mesh is refused.
    bool bad = false;
    if (!readNode(scene, scene->mRootNode, mesh, bad) || bad) {
        mesh.vertices = std::vector<Vertex>();
        mesh.indices = std::vector<uint32_t>();
        return false;
    }
    return true;
}

} // namespace MeshImport
