#pragma once

#include "ConfigTestEnv.h"
#include "PngCheck.h"
#include "TestMeshes.h"
#include "config/QuorConfig.h"
#include "model/Model.h"
#include "workspace/JobController.h"
#include "workspace/LayerPreview.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/UndoController.h"
#include "workspace/Workspace.h"

#include <QImage>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <zlib.h>

#include <memory>

// A model whose mesh is a TestMesh, flat-shaded, in its own frame.
inline Model *modelFromMesh(const TestMesh &m, int type = Model::TYPE_NORMAL)
{
    Model *model = new Model(type);
    model->mesh->vertices.clear();
    model->mesh->indices.clear();
    for (int i = 0; i + 2 < m.indices.size(); i += 3) {
        const QVector3D a = m.positions[int(m.indices[i])];
        const QVector3D b = m.positions[int(m.indices[i + 1])];
        const QVector3D c = m.positions[int(m.indices[i + 2])];
        const QVector3D n = QVector3D::normal(a, b, c);
        for (const QVector3D &p : {a, b, c}) {
            model->mesh->indices.push_back(uint32_t(model->mesh->vertices.size()));
            model->mesh->vertices.push_back({p.x(), p.y(), p.z(), n.x(), n.y(), n.z()});
        }
    }
    model->mesh->baseVertexCount = uint32_t(model->mesh->vertices.size());
    model->meshReady = true;
    model->pushTransform(0);
    model->updateGeometry(true);
    return model;
}

// Scratch home, configuration, application service and workspace for one test.
struct SliceTestScene
{
    ConfigTestEnv env;
    std::unique_ptr<QuorApp> app = std::make_unique<QuorApp>();
    std::unique_ptr<QuorConfig> config = std::make_unique<QuorConfig>();
    std::unique_ptr<Workspace> workspace = std::make_unique<Workspace>(*config);

    SliceTestScene()
    {
        app->setWorkspace(workspace.get());
        config->useAntialise(false);
        config->save();
    }
    ~SliceTestScene()
    {
        workspace.reset();
        config.reset();
        app.reset();
    }

    Model *add(Model *m)
    {
        workspace->scene()->addModel(m);
        return m;
    }

    // What a job reads of the workspace's objects.
    std::vector<ObjectSnapshot> snapshotObjects() const
    {
        std::vector<ObjectSnapshot> objects;
        for (Model *object : workspace->scene()->objects()) {
            if (object->type == Model::TYPE_PLATFORM_BOTTOM)
                continue;
            object->updateGeometry(false);
            objects.push_back(object->snapshot());
        }
        return objects;
    }

    QString archivePath(const QString &name = QStringLiteral("job.cws")) const
    {
        return env.path(name);
    }

    // Starts a job into path and waits for its end; returns the final progress arguments.
    QList<QVariant> slice(const QString &path, int timeoutMs = 60000)
    {
        QSignalSpy progress(workspace->jobs(), &JobController::sliceCompletedProgress);
        app->setCwsFile(QUrl::fromLocalFile(path));
        workspace->jobs()->startSlice(path);
        auto ended = [&] {
            for (const QList<QVariant> &args : qAsConst(progress))
                if (args.at(0).toFloat() >= 1.0f)
                    return true;
            return false;
        };
        QElapsedTimer timer;
        timer.start();
        while (!ended() && timer.elapsed() < timeoutMs)
            QTest::qWait(20);
        for (const QList<QVariant> &args : qAsConst(progress))
            if (args.at(0).toFloat() >= 1.0f)
                return args;
        return {};
    }
};

// Entry names and contents of a job archive. Reading one checks it as a printer would meet
// it: unzip -t passes, every entry is a deflate entry, every layer decodes to the same pixels
// with Qt and with libpng, and carries no chunk beyond the header, resolution and data. Any
// fault fails the running test.
struct ArchiveContents
{
    QStringList names;
    QMap<QString, QByteArray> data;

    static ArchiveContents read(const QString &path)
    {
        ArchiveContents c;
        QuaZip zip(path);
        if (!zip.open(QuaZip::mdUnzip)) {
            fail(QStringLiteral("%1 does not open").arg(path));
            return c;
        }
        for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
            QuaZipFileInfo64 info;
            zip.getCurrentFileInfo(&info);
            const QString name = info.name;
            if (info.method != Z_DEFLATED)
                fail(QStringLiteral("%1 in %2: method %3").arg(name, path).arg(info.method));
            QuaZipFile f(&zip);
            f.open(QIODevice::ReadOnly);
            c.names << name;
            c.data.insert(name, f.readAll());
        }
        check(path, c);
        return c;
    }
    QImage image(const QString &name) const { return QImage::fromData(data.value(name), "PNG"); }

private:
    static void fail(const QString &what) { QTest::qFail(qPrintable(what), __FILE__, __LINE__); }

    static void check(const QString &path, const ArchiveContents &c)
    {
        const QString unzip = PngCheck::testArchive(path);
        if (!unzip.isEmpty())
            fail(unzip);
        // Equal layers share their bytes: each distinct file is decoded once.
        QSet<QByteArray> seen;
        for (auto it = c.data.cbegin(); it != c.data.cend(); ++it) {
            if (!it.key().endsWith(QLatin1String(".png")) || seen.contains(it.value()))
                continue;
            seen.insert(it.value());
            QString problem = PngCheck::unexpectedChunks(it.value());
            if (problem.isEmpty())
                problem = PngCheck::checkPixels(it.value());
            if (!problem.isEmpty()) {
                fail(QStringLiteral("%1 in %2: %3").arg(it.key(), path, problem));
                return;
            }
        }
    }
};
