// The check of a folder's name that every folder name dialog makes, a new folder's as well as the
// phone book editor's renamed one, so that no two user folders of a book share a name.
#pragma once

#include "phonebook/dialogs/address_validation.h"

#include <functional>
#include <string>

/// Whether another user folder of the book has a name (compared case-sensitively); null: none is known.
using FolderNameInUse = std::function<bool(const std::string& name)>;

/// OK of a folder name dialog: an empty name, and a name inUse says another user folder has, are
/// refused with a warning (texts 1100 and 1101 of the dialogs' table) under caption. True when the
/// dialog may close.
bool AcceptFolderName(IMessageNotifier& notifier, const std::string& caption, const std::string& name,
                      const FolderNameInUse& inUse, void* owner = nullptr);
