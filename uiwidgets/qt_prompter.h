// The message boxes of the programs: IPrompter as Qt shows it.
#pragma once

#include "common/prompter.h"

#include <QStringList>

#include <functional>

class QFileDialog;

/// Message boxes as Qt shows them.
class CQtPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override;
    /// The folder dialog: file-system folders only, files shown.
    std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart) override;
    /// The font dialog: the face, its point size (in tenths) and weight.
    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override;
    /// Qt's own (non-native) file dialogs, so that the extra list can be placed in them.
    std::optional<std::string> GetOpenFileName(FileQuestion& question) override;
    std::optional<std::string> GetSaveFileName(FileQuestion& question) override;

    /// Called with each file dialog before it is shown (tests answer it, screenshots take it).
    static void SetFileDialogHook(std::function<void(QFileDialog&)> hook);
    /// The name filters of a "Name|pattern|...||" filter text, as QFileDialog takes them.
    static QStringList NameFilters(const std::string& strFilter);
};
