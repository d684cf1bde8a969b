// What a windowed program says as it starts when the user's folders cannot be used: they lie in a
// home of another user's (a start under another user with this user's HOME), or another user holds
// a folder the program needs.
#pragma once

#include "platform/files.h"

#include <string>
#include <vector>

class IPrompter;

/// The shared widgets' texts of folders that cannot be used ("%s": the folder, "%u": its owner).
enum : unsigned { IDS_SHARED_FOREIGN_HOME = 64906, IDS_SHARED_FOLDER_UNUSABLE = 64907 };

/// Shows one warning box for each folder that MendUserFolders answered (none when there is none).
void WarnOfForeignFolders(const std::vector<platform::ForeignFolder>& folders, IPrompter& prompter);

/// The text that a folder the program needs cannot be used.
std::string FolderUnusableText(const std::string& strFolder);
