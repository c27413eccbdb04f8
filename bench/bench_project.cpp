// Saves a generated 1,000,000-triangle model as a project and opens it again, each compared
// with one plain buffered write or read of the same bytes in the same run; the plain write
// over an existing file and the synced plain write show what replacing and syncing cost.
#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/ProjectFile.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include <unistd.h>

namespace {

constexpr int kRings = 500;
constexpr int kSegments = 1000; // kRings * kSegments * 2 = 1,000,000 triangles
constexpr int kRuns = 5;

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
    const QByteArray plainPath = QFile::encodeName(plain);
    double save = 1e9, write = 1e9, overwrite = 1e9, synced = 1e9, unsynced = 1e9;
    double open = 1e9, read = 1e9;
    qint64 bytes = 0;
    // Each timing starts with nothing left for the disk to write from the one before.
    auto timed = [](const std::function<void()> &work) {
        ::sync();
        QElapsedTimer t;
        t.start();
        work();
        return seconds(t);
    };
    auto writePlain = [&plain](const QByteArray &data, bool durable) {
        QFile out(plain);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(data);
        out.flush();
        if (durable)
            ::fsync(out.handle());
        out.close();
    };
    {
        Workspace workspace(config);
        service.setWorkspace(&workspace);
        workspace.scene()->addModel(makeSphere());
        service.setPrjFile(QUrl::fromLocalFile(project).toString());
        for (int run = 0; run < kRuns; ++run) {
            // From the second run on, this replaces the project saved by the one before.
            save = std::min(save, timed([&] { service.savePrj(); }));

            QFile saved(project);
            saved.open(QIODevice::ReadOnly);
            const QByteArray data = saved.readAll();
            bytes = data.size();
            ::unlink(plainPath.constData());
            write = std::min(write, timed([&] { writePlain(data, false); }));
            // Over the file just written: what a plain, non-atomic save of the project costs.
            overwrite = std::min(overwrite, timed([&] { writePlain(data, false); }));
            ::unlink(plainPath.constData());
            synced = std::min(synced, timed([&] { writePlain(data, true); }));
            // The same writer into a new plain file: no temporary file, no sync.
            ::unlink(plainPath.constData());
            unsynced = std::min(unsynced, timed([&] {
                                    QFile direct(plain);
                                    direct.open(QIODevice::WriteOnly | QIODevice::Truncate);
                                    ProjectFile::write(direct, workspace);
                                    direct.close();
                                }));
        }
    }
    for (int run = 0; run < kRuns; ++run) {
        Workspace workspace(config);
        service.setWorkspace(&workspace);
        QElapsedTimer t;
        t.start();
        service.open(QUrl::fromLocalFile(project));
        open = std::min(open, seconds(t));
        if (workspace.scene()->objects().size() != 1 ||
            workspace.scene()->objects()[0]->mesh->indices.size() != 3000000) {
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
    std::printf("project of 1,000,000 triangles: %.1f MB, best of %d runs\n", double(bytes) / 1e6,
                kRuns);
    std::printf("plain buffered write into a new file      %.3f s = 1.00\n", write);
    std::printf("save (atomic replace, synced to disk)     %.3f s = %.2fx\n", save, save / write);
    std::printf("  the writer into a new plain file        %.3f s = %.2fx\n", unsynced,
                unsynced / write);
    std::printf("  plain write over the existing file      %.3f s = %.2fx\n", overwrite,
                overwrite / write);
    std::printf("  plain write synced to disk (fsync)      %.3f s = %.2fx\n", synced,
                synced / write);
    std::printf("plain read                                %.3f s = 1.00\n", read);
    std::printf("reopen                                    %.3f s = %.2fx\n", open, open / read);
    return 0;
}
