// Saves a generated 1,000,000-triangle model as a project and opens it again, each compared
// with one plain buffered write or read of the same bytes in the same run.
#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/ProjectFile.h"
#include "workspace/QuorApp.h"
#include "workspace/QuorModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kRings = 500;
constexpr int kSegments = 1000; // kRings * kSegments * 2 = 1,000,000 triangles

// A sphere with unshared vertices and face normals, the layout an imported STL has.
Model *makeSphere()
{
    auto *m = new Model(Model::TYPE_NORMAL);
    MeshPrimitiveData &mesh = *m->mesh;
    mesh.vertices.reserve(size_t(kRings) * kSegments * 6);
    mesh.indices.reserve(size_t(kRings) * kSegments * 6);
    auto at = [](int r, int s) {
        const double phi = M_PI * r / kRings, theta = 2 * M_PI * s / kSegments;
        return QVector3D(float(30 * std::sin(phi) * std::cos(theta)),
                         float(30 * std::sin(phi) * std::sin(theta)),
                         float(30 + 30 * std::cos(phi)));
    };
    auto triangle = [&](const QVector3D &a, const QVector3D &b, const QVector3D &c) {
        const QVector3D n = QVector3D::normal(a, b, c);
        for (const QVector3D &p : {a, b, c}) {
            mesh.indices.push_back(uint32_t(mesh.vertices.size()));
            mesh.vertices.push_back({p.x(), p.y(), p.z(), n.x(), n.y(), n.z()});
        }
    };
    for (int r = 0; r < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            triangle(at(r, s), at(r + 1, s), at(r + 1, s + 1));
            triangle(at(r, s), at(r + 1, s + 1), at(r, s + 1));
        }
    m->finishMesh();
    // A moved model: the writer maps every vertex through the stack.
    m->pushTransform(1);
    m->translateBy(5, -3, 0);
    m->updateGeometry(true);
    return m;
}

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir scratch;
    qputenv("HOME", scratch.path().toLocal8Bit());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QCoreApplication app(argc, argv);
    QuorApp service;
    QuorConfig config;
    config.setSaveOnExit(false);

    const QString project = scratch.path() + QStringLiteral("/big.qsp");
    const QString plain = scratch.path() + QStringLiteral("/plain.bin");
    double save = 1e9, write = 1e9, open = 1e9, read = 1e9, unsynced = 1e9;
    qint64 bytes = 0;
    {
        QuorModel workspace;
        workspace.addModel(makeSphere());
        service.setPrjFile(QUrl::fromLocalFile(project).toString());
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer t;
            t.start();
            service.savePrj();
            save = std::min(save, seconds(t));

            QFile saved(project);
            saved.open(QIODevice::ReadOnly);
            const QByteArray data = saved.readAll();
            bytes = data.size();
            t.start();
            QFile out(plain);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            out.write(data);
            out.close();
            write = std::min(write, seconds(t));

            // The same writer into a plain file: what the atomic, synced replace costs.
            t.start();
            QFile direct(plain);
            direct.open(QIODevice::WriteOnly | QIODevice::Truncate);
            ProjectFile::write(direct, workspace);
            direct.close();
            unsynced = std::min(unsynced, seconds(t));
        }
    }
    for (int run = 0; run < 3; ++run) {
        QuorModel workspace;
        QElapsedTimer t;
        t.start();
        service.open(QUrl::fromLocalFile(project));
        open = std::min(open, seconds(t));
        if (workspace.models.size() != 1 || workspace.models[0]->mesh->indices.size() != 3000000) {
            std::fprintf(stderr, "the project did not come back whole\n");
            return 1;
        }
        t.start();
        QFile in(plain);
        in.open(QIODevice::ReadOnly);
        const QByteArray data = in.readAll();
        read = std::min(read, seconds(t));
        if (data.size() != bytes)
            return 1;
    }
    std::printf("project of 1,000,000 triangles: %.1f MB\n", double(bytes) / 1e6);
    std::printf("save   %.3f s, plain write %.3f s: %.2fx\n", save, write, save / write);
    std::printf("  the writer into a plain file, without the temporary file and its sync: "
                "%.3f s: %.2fx\n",
                unsynced, unsynced / write);
    std::printf("reopen %.3f s, plain read  %.3f s: %.2fx\n", open, read, open / read);
    return 0;
}
