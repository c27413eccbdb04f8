#include "model/DoItem.h"

#include "model/Model.h"

DoItem::DoItem(QObject *parent) : QObject(parent) {}

DoItem::DoItem(Model *model, DoType type) : model(model), type(type) {}

DoItem::DoItem(const DoItem &other) : QObject(), model(other.model), type(other.type) {}

DoItem &DoItem::operator=(const DoItem &other)
{
    model = other.model;
    type = other.type;
    return *this;
}

bool DoItem::dropIfNoOp()
{
    if (!isTransformType(type) || !model || !model->isTopIdentity())
        return false;
    model->popTransform();
    return true;
}

bool DoItem::undoTransform()
{
    return model && model->popTransform();
}
