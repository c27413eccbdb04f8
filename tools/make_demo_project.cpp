// Writes the demo project that the README's screenshot shows: the shipped sample lifted onto
// pillars, braced by linkers, beside a second copy on a base.
//
// usage: make_demo_project SAMPLE.stl OUT.qsp
#include "config/QuorConfig.h"
#include "model/DoItem.h"
#include "model/PickHit.h"
#include "workspace/QuorApp.h"
#include "workspace/SceneObjects.h"
#include "workspace/SupportController.h"
#include "workspace/TransformController.h"
#include "workspace/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <cmath>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_demo_project SAMPLE.stl OUT.qsp\n");
        return 2;
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QuorApp service;
    QuorConfig config;
    config.setSaveOnExit(false);
    Workspace workspace(config);
    service.setWorkspace(&workspace);
    workspace.scene()->ensurePlatformBottom();
    const QUrl sample =
        QUrl::fromLocalFile(QDir().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    if (!workspace.scene()->loadModel(sample) || !workspace.scene()->loadModel(sample))
        return 1;
    workspace.transform()->autoLayoutModel();

    // The first model stands 8 mm up on a ring of pillars under its plate.
    Model *raised = workspace.scene()->objects()[1];
    workspace.scene()->selectModel(raised);
    workspace.transform()->startNewTransform(DoItem::DO_T_TRANSLATE);
    workspace.transform()->setSelectedModelTranslate(0, 0, 8);
    raised->updateGeometry(true);
    const QVector3D centre = (raised->bboxMin + raised->bboxMax) / 2.0f;
    for (int i = 0; i < 12; ++i) {
        const float a = float(i) * 3.14159265f / 6.0f;
        PickHit hit;
        hit.object = raised;
        hit.point = QVector3D(centre.x() + 9.0f * std::cos(a), centre.y() + 9.0f * std::sin(a),
                              raised->bboxMin.z());
        hit.normal = QVector3D(0, 0, -1);
        workspace.supports()->addSupportFromHit(hit);
    }
    // The second one on a base slab.
    workspace.scene()->selectModel(workspace.scene()->objects()[2]);
    workspace.supports()->addSupportBase(1.0f);
    workspace.scene()->deselectAll(true);

    service.setPrjFile(
        QUrl::fromLocalFile(QDir().absoluteFilePath(QString::fromLocal8Bit(argv[2]))).toString());
    service.savePrj();
    return QFile::exists(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
