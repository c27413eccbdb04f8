// The workspace's support edits: bases, manual pillars and multi-point supports.
#include "workspace/QuorModel.h"

#include <QDebug>

void QuorModel::addSupportBase(float thickness)
{
    qDebug() << "QuorModel::addSupportBase";
    std::vector<Model *> targets;
    if (Model *sel = getSelectedModel())
        targets.push_back(sel);
    else
        targets = models;
    // Replacing a base frees the old one and changes the list, hence the copy above.
    for (Model *target : targets) {
        if (target->type != Model::TYPE_NORMAL)
            continue;
        addModel(target->makeSupportBase(thickness));
    }
    setModelStatus(status, true);
}
