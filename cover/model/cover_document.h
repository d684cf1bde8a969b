// The cover sheet editor's document: one cover sheet as an array of objects, opened from and saved
// to a cover sheet file, with the object factory that turns a frame line into an object and the
// default sheet of a new document.
#pragma once

#include "cover/model/cover_editor.h"
#include "cover/model/cover_objects.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// String resources of the document: captions of the recipient fields and the default sheet.
inline constexpr uint32_t IDS_CAPTION_FAX = 31709;
inline constexpr uint32_t IDS_CAPTION_TELEPHONE = 31710;
inline constexpr uint32_t IDS_CAPTION_MR = 31711;
inline constexpr uint32_t IDS_CAPTION_COMPANY = 31713; ///< to 31719: company, section, post, name, zip, address 1, 2
inline constexpr uint32_t IDS_DEFAULT_FRAME_FIRST = 31720;
inline constexpr int kDefaultFrameCount = 11;
/// Longest default line read from the texts.
inline constexpr size_t kMaxDefaultFrameLine = 511;

/// A new object of a text kind (free text, memo, recipient, sender, time, date, page); null for the
/// other kinds.
std::unique_ptr<CtqTextRect> CreateTextObject(cover::FrameType type);

class CtqHeaderDoc {
public:
    /// A new document, taken as the application's current document. app may be null (an editor
    /// started without a command line and with no profile).
    explicit CtqHeaderDoc(ICoverSheetApp* app = nullptr);
    virtual ~CtqHeaderDoc() = default;
    CtqHeaderDoc(const CtqHeaderDoc&) = delete;
    CtqHeaderDoc& operator=(const CtqHeaderDoc&) = delete;

    /// Empties the sheet to a new page; the first new document of an editor started without a
    /// command line gets the default sheet. 0 while a file is being read.
    virtual int OnNewDocument();
    /// Reads a cover sheet file; 0 (the sheet unchanged) while busy, or for a file that cannot be
    /// read or has no object count.
    virtual int OnOpenDocument(const std::string& path);
    /// Writes the sheet to path, replacing the file as one step; 0 while busy or when it cannot be
    /// written (the file then stays as it was). Saved into another folder, a picture named relative
    /// to the sheet's folder and found there is named relative to the new folder when it lies in it
    /// or below, else by its absolute path, so the saved sheet still finds it.
    virtual int OnSaveDocument(const std::string& path);
    /// The picture files the sheet's image frames name but could not read, each where it was looked
    /// for first (beside the sheet for a relative name) and each once, in drawing order.
    std::vector<std::string> MissingPictures() const;
    /// Deletes every object.
    virtual void DeleteContents();

    /// The object of a frame line, appended to the sheet; null for a line that makes no object.
    CtqRect* CreateFrame(std::string_view line);
    /// Removes and deletes an object of the sheet; 0 when it is not in the sheet.
    int RemoveFrame(CtqRect* object);

    const std::string& GetPathName() const { return m_strPathName; }
    /// The file name of the path; "Untitled" for a sheet never saved.
    std::string GetTitle() const;
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    int m_nPageWidth = 0;
    int m_nPageHeight = 0;
    int m_bBusy = 0;
    int m_nPageCut = -1;
    int m_bLang = 0;
    CtqRtArray m_objects;

private:
    ICoverSheetApp* m_pApp;
    std::string m_strPathName;
    bool m_bModified = false;
};
