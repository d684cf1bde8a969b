#include "phonebook/dialogs/selection.h"

#include <algorithm>
#include <memory>

PB2APISelection* NewSelection(const std::vector<int32_t>& ids, bool changed)
{
    auto selection = std::make_unique<PB2APISelection>();
    selection->flag = changed ? 1 : 0;
    selection->count = static_cast<int>(ids.size());
    selection->ids = new int[ids.empty() ? 1 : ids.size()]; // an empty selection still has an array
    std::copy(ids.begin(), ids.end(), selection->ids);
    return selection.release();
}

void FreeSelection(PB2APISelection* selection)
{
    if (!selection)
        return;
    delete[] selection->ids;
    delete selection;
}
