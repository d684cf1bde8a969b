// Making and freeing the selections the destination and member exports hand back (the record
// itself is declared with the exports, for C callers).
#pragma once

#include "phonebook/dialogs/pb2api.h"

#include <cstdint>
#include <vector>

/// A new selection of ids (a valid, empty array for none); throws std::bad_alloc.
PB2APISelection* NewSelection(const std::vector<int32_t>& ids, bool changed);
/// Frees the ids, then the record; null is ignored.
void FreeSelection(PB2APISelection* selection);
