// Starting the suite's other programs that the settings name (the viewer, the cover sheet editor,
// the log browser): never through a shell, never waited for.
#pragma once

#include <string>
#include <vector>

/// Where a program named in the settings lies: a bare name is looked for beside the suite's programs.
std::string SettingProgramPath(const std::string& strStored);

/// The viewer's argument vector: [/Edit] /T"title" /P "path".
std::vector<std::string> ViewerArguments(const std::string& strTitle, const std::string& strPath, bool bEdit);

/// Starts the program that HKLM TQLSTL2 valueName names with args; the platform reaps it. False
/// (and nothing started) when the value is empty or the program could not start.
bool StartSettingProgram(const char* valueName, const std::vector<std::string>& args);
