// Saves a few small projects through QuorApp::savePrj into the folder given: the fuzzer's
// seed corpus, in the program's own format.
#include "FuzzEnvironment.h"
#include "model/Model.h"
#include "model/MultiPointSupport.h"
#include "model/Support.h"
#include "workspace/SceneObjects.h"
#include "workspace/Workspace.h"

#include <QUrl>

#include <cstdio>

namespace {

void appendBox(Model *m, const QVector3D &lo, const QVector3D &hi)
{
    const QVector3D c[8] = {{lo.x(), lo.y(), lo.z()}, {hi.x(), lo.y(), lo.z()},
                            {lo.x(), hi.y(), lo.z()}, {hi.x(), hi.y(), lo.z()},
                            {lo.x(), lo.y(), hi.z()}, {hi.x(), lo.y(), hi.z()},
                            {lo.x(), hi.y(), hi.z()}, {hi.x(), hi.y(), hi.z()}};
    const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                              {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    for (const auto &f : faces) {
        const QVector3D n = QVector3D::normal(c[f[0]], c[f[1]], c[f[2]]);
        for (int k : f) {
            m->mesh->indices.push_back(uint32_t(m->mesh->vertices.size()));
            m->mesh->vertices.push_back({c[k].x(), c[k].y(), c[k].z(), n.x(), n.y(), n.z()});
        }
    }
}

Model *addBox(Workspace &ws, const QVector3D &lo, const QVector3D &hi)
{
    auto *m = new Model(Model::TYPE_NORMAL);
    appendBox(m, lo, hi);
    m->finishMesh();
    ws.scene()->addModel(m);
    return m;
}

// Saved by the application service, as the window saves.
bool savePrj(QuorApp &app, Workspace &ws, const QString &path)
{
    app.setWorkspace(&ws);
    app.setPrjFile(QUrl::fromLocalFile(path).toString());
    app.savePrj();
    app.setWorkspace(nullptr);
    return QFile::exists(path);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    FuzzEnvironment environment(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    bool ok = true;
    {
        Workspace ws(environment.config());
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/empty.qsp"));
        Model *box = addBox(ws, QVector3D(0, 0, 0), QVector3D(10, 20, 5));
        box->name = QStringLiteral("box");
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/box.qsp"));
        Model *floating = addBox(ws, QVector3D(20, 0, 12), QVector3D(30, 10, 15));
        auto *pillar = new CWS::Support(environment.config().supportConfig());
        pillar->build(floating, QVector3D(22, 2, 12), QVector3D(0, 0, -1));
        ws.scene()->addModel(pillar);
        auto *second = new CWS::Support(environment.config().supportConfig());
        second->build(floating, QVector3D(25, 2, 12), QVector3D(0, 0, -1));
        ws.scene()->addModel(second);
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/pillars.qsp"));
        auto *bridge = new MultiPointSupport(environment.config().supportConfig(), floating);
        bridge->build({PickHit{floating, QVector3D(22, 8, 12), QVector3D(0, 0, -1), 0.0},
                       PickHit{floating, QVector3D(28, 8, 12), QVector3D(0, 0, -1), 0.0}});
        ws.scene()->addModel(bridge);
        ws.scene()->addModel(box->makeSupportBase(1.0f, &ws.undoList()));
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/family.qsp"));
    }
    {
        // More vertices and indices than one block of the streamed arrays, so that the
        // reader's second thread takes part.
        Workspace ws(environment.config());
        auto *grid = new Model(Model::TYPE_NORMAL);
        for (int i = 0; i < 500; ++i) {
            const QVector3D lo(float(i % 25), float(i / 25), 0.0f);
            appendBox(grid, lo, lo + QVector3D(0.5f, 0.5f, 1.0f));
        }
        grid->finishMesh();
        ws.scene()->addModel(grid);
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/grid.qsp"));
    }
    {
        // A model of two overlapping parts: the block behind the end marks.
        Workspace ws(environment.config());
        auto *parts = new Model(Model::TYPE_NORMAL);
        appendBox(parts, QVector3D(0, 0, 0), QVector3D(10, 10, 10));
        appendBox(parts, QVector3D(5, 0, 0), QVector3D(15, 10, 10));
        parts->mesh->partStarts = {0, 36};
        parts->finishMesh();
        ws.scene()->addModel(parts);
        ok &= savePrj(environment.app(), ws, dir + QStringLiteral("/parts.qsp"));
    }
    std::fprintf(stdout, "seed corpus in %s\n", argv[1]);
    return ok ? 0 : 1;
}
