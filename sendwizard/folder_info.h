// The cache of a device's document-filing folders, "folder.info": one section per printer port,
// shown on the Set Job Parameter page before the list is updated from the device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Folder types: a folder listed from the device, the device's main folder.
enum : int { kFolderListed = 1, kFolderMain = 2 };

/// The longest folder name kept.
inline constexpr size_t kMaxFolderNameBytes = 259;
/// The most folders read from one section.
inline constexpr int kMaxCachedFolders = 100000;

/// One cached document-filing folder.
struct CFilingFolder {
    std::string strName;
    uint32_t nSize = 0;
    uint32_t nLowDateTime = 0, nHighDateTime = 0; ///< FILETIME halves; 0 for no date
    int bPassword = 0;
    int nFolderType = kFolderListed;
};

/// The file's path: HKCU TQLSTL2 "DocuinfoPath"; when empty, jobFolder + "folder.info", which is
/// then stored there.
std::string FolderInfoPath(const std::string& strJobFolder);

/// The section name of a port: '%', '[', ']' and line breaks are written as "%XX", so any device
/// URI makes a section of its own.
std::string FolderInfoSection(const std::string& strPortName);

/// The folders of a port's section, in order; entries without a name are skipped. Sizes and times
/// read signed or unsigned text and keep the low 32 bits.
std::vector<CFilingFolder> ReadFolderInfo(const std::string& strPath, const std::string& strPortName);

/// Writes the count and every folder's keys of a port's section in one atomic replacement (keys of
/// a longer earlier list stay). False when the file cannot be written.
bool WriteFolderInfo(const std::string& strPath, const std::string& strPortName,
                     const std::vector<CFilingFolder>& folders);
