#include "model/UndoList.h"

#include "model/Model.h"

#include <algorithm>

void UndoList::addDo(Model *model, int type)
{
    dropNoOpRecords();
    model->pushTransform(type);
    m_records.emplace_back(model, DoItem::DoType(type));
    m_hasNewDo = true;
}

void UndoList::recordNew(Model *object)
{
    m_records.emplace_back(object, DoItem::DO_NEW);
}

void UndoList::dropNoOpRecords()
{
    while (!m_records.empty() && m_records.back().dropIfNoOp())
        m_records.pop_back();
}

void UndoList::removeRecordsOf(const Model *model)
{
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [model](const DoItem &r) { return r.model == model; }),
                    m_records.end());
}

void UndoList::removeNewest()
{
    if (!m_records.empty())
        m_records.pop_back();
}
