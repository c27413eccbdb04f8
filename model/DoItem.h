#pragma once

#include <QObject>

class Model;

// One undo record: what was done to which object. Stored by value in the workspace.
class DoItem : public QObject
{
    Q_OBJECT
public:
    enum DoType
    {
        DO_NEW = 0,
        DO_T_TRANSLATE = 1,
        DO_T_SCALE = 2,
        DO_T_ROTATE = 3,
        DO_T_FLIP = 4,
        DO_UNKNOWN = 5
    };
    Q_ENUM(DoType)

    explicit DoItem(QObject *parent = nullptr);
    DoItem(Model *model, DoType type);
    DoItem(const DoItem &other);
    DoItem &operator=(const DoItem &other);

    static bool isTransformType(int type) { return type >= DO_T_TRANSLATE && type <= DO_T_FLIP; }

    // Pops the model's newest item and answers true when this record's transform was left
    // at identity.
    bool dropIfNoOp();
    bool undoTransform();

    Model *model = nullptr;
    DoType type = DO_UNKNOWN;
};
