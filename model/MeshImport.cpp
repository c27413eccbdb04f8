#include "model/MeshImport.h"

#include <QDebug>
#include <QFile>

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <cmath>

namespace MeshImport {

namespace {

// A mesh at this size runs close to the memory the flat-normal layout can afford.
constexpr unsigned kLargeMeshVertices = 178957;

// Appends the mesh's vertices and its triangles. Points and lines that survive triangulation
// are left out: the index list holds whole triangles only.
void readMesh(const aiMesh *src, MeshPrimitiveData &mesh)
{
    qDebug() << "processAssimpMesh, total vertices:" << src->mNumVertices;
    if (!src->mVertices || !src->mFaces)
        return;
    std::vector<Vertex> &vertices = mesh.vertices;
    vertices.reserve(vertices.size() + src->mNumVertices);
    for (unsigned i = 0; i < src->mNumVertices; ++i) {
        const aiVector3D &p = src->mVertices[i];
        Vertex v;
        v.px = p.x;
        v.py = p.y;
        v.pz = p.z;
        if (src->mNormals) {
            const aiVector3D &n = src->mNormals[i];
            v.nx = n.x;
            v.ny = n.y;
            v.nz = n.z;
        }
        vertices.push_back(v);
    }
    qDebug() << "read vertices succeed:" << vertices.size() << vertices.capacity()
             << vertices.max_size();
    if (src->mNumVertices >= kLargeMeshVertices)
        qDebug() << "memory is exhausting, suggest switch to SmoothNormal mode";

    qDebug() << "total faces:" << src->mNumFaces;
    std::vector<uint32_t> &indices = mesh.indices;
    indices.reserve(indices.size() + size_t(src->mNumFaces) * 3);
    for (unsigned f = 0; f < src->mNumFaces; ++f) {
        const aiFace &face = src->mFaces[f];
        if (face.mNumIndices != 3)
            continue;
        indices.push_back(face.mIndices[0]);
        indices.push_back(face.mIndices[1]);
        indices.push_back(face.mIndices[2]);
    }
    qDebug() << "indices:" << indices.size() << indices.capacity() << indices.max_size();
    // A mesh without triangles must not leave its vertices in front of the next mesh's.
    if (indices.empty())
        vertices.clear();
}

bool readNode(const aiScene *scene, const aiNode *node, MeshPrimitiveData &mesh)
{
    qDebug() << "processAssimpNode" << node << "mesh" << node->mNumMeshes << "children"
             << node->mNumChildren;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        qDebug() << "process mesh" << i;
        const unsigned meshIndex = node->mMeshes[i];
        if (meshIndex >= scene->mNumMeshes || !scene->mMeshes[meshIndex])
            continue;
        readMesh(scene->mMeshes[meshIndex], mesh);
        if (!mesh.indices.empty()) {
            if (i + 1 < node->mNumMeshes)
                qWarning() << "skip" << node->mNumMeshes - i - 1 << "meshes in file";
            return true;
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) {
        if (!node->mChildren[i])
            continue;
        if (readNode(scene, node->mChildren[i], mesh)) {
            if (i + 1 < node->mNumChildren)
                qWarning() << "skip" << node->mNumChildren - i - 1 << "children nodes in file";
            return true;
        }
    }
    return false;
}

} // namespace

QString meshDataError(const MeshPrimitiveData &mesh)
{
    if (mesh.indices.size() % 3 != 0)
        return QStringLiteral("incomplete triangle");
    const size_t vertexCount = mesh.vertices.size();
    for (uint32_t index : mesh.indices)
        if (index >= vertexCount)
            return QStringLiteral("index %1 beyond %2 vertices").arg(index).arg(vertexCount);
    for (const Vertex &v : mesh.vertices)
        if (!std::isfinite(v.px) || !std::isfinite(v.py) || !std::isfinite(v.pz))
            return QStringLiteral("vertex position not finite");
    return QString();
}

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

    if (!readNode(scene, scene->mRootNode, mesh)) {
        mesh.vertices.clear();
        mesh.indices.clear();
        return false;
    }
    // The file is user data: nothing that could crash or poison later passes gets through.
    const QString error = meshDataError(mesh);
    if (!error.isEmpty()) {
        qWarning() << "invalid mesh data in" << path << ":" << error;
        mesh.vertices = std::vector<Vertex>();
        mesh.indices = std::vector<uint32_t>();
        return false;
    }
    return true;
}

} // namespace MeshImport
