// The message boxes of the programs: IPrompter as Qt shows it.
#pragma once

#include "common/prompter.h"

/// Message boxes as Qt shows them.
class CQtPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override;
    /// The folder dialog: file-system folders only, files shown.
    std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart) override;
    /// The file dialogs (the save dialog asks before an existing file is replaced).
    std::optional<std::string> OpenFileChoice(const std::string& strTitle, const std::string& strFilter,
                                              const std::string& strStart) override;
    std::optional<std::string> SaveFileChoice(const std::string& strTitle, const std::string& strFilter,
                                              const std::string& strStart) override;
    /// The font dialog: the face, its point size (in tenths) and weight.
    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
};
