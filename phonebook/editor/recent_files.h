// The editor's recent-file list: the last four books opened, newest first, kept in the user's
// settings as the framework keeps it ("Recent File List", values "File1" to "File4").
#pragma once

#include <string>
#include <vector>

class CRecentFileList {
public:
    /// Reads the list (missing values end it).
    CRecentFileList();
    const std::vector<std::string>& Files() const { return m_Files; }
    /// Puts a path first (once) and writes the list.
    void Add(const std::string& strPath);
    /// Takes a path off the list and writes the list.
    void Remove(const std::string& strPath);

private:
    void Write() const;

    std::vector<std::string> m_Files;
};
