// The selection the destination and member exports hand back: allocated here, freed only by
// PB2APIFree. Its fields keep the order {flag, count, ids}; nothing may rely on its size.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
struct PB2APISelection {
    int flag;  ///< 1 when the phone book was changed while the dialog was open
    int count; ///< number of ids
    int* ids;  ///< count record ids, groups already replaced by their members
};
}

/// A new selection of ids (a valid, empty array for none); throws std::bad_alloc.
PB2APISelection* NewSelection(const std::vector<int32_t>& ids, bool changed);
/// Frees the ids, then the record; null is ignored.
void FreeSelection(PB2APISelection* selection);
