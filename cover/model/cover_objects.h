// The objects of a cover sheet as the editor and the renderer hold them: one class per kind of
// frame line, all derived from CtqRect. Each reads and writes its frame line, draws itself on a
// device context and edits its properties through the editor's view.
#pragma once

#include "cover/model/cover_editor.h"
#include "cover/model/frame_line.h"
#include "imaging/device_context.h"
#include "imaging/tiff_pages.h"

#include <QtGui/QImage>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// String resources the objects use.
inline constexpr uint32_t IDS_BITMAP_FILTER = 5000;
inline constexpr uint32_t IDS_EDITOR_CAPTION = 10000;
inline constexpr uint32_t IDS_DATE_FORMAT = 31733;

/// A page object: its rectangle in page pixels (right = left + width, bottom = top + height).
class CtqRect {
public:
    CtqRect() = default;
    explicit CtqRect(const gdi::RECT& rect) : m_rect(rect) {}
    virtual ~CtqRect() = default;
    CtqRect(const CtqRect&) = delete;
    CtqRect& operator=(const CtqRect&) = delete;

    /// The class name of the object ("CtqStaticTextRect", ...).
    virtual const char* GetRuntimeClass() const { return "CtqRect"; }

    /// Draws the object into target (device units) of dc; view is the editing view or null. 1.
    virtual int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view);
    virtual int IsTextFrame() const { return 0; }
    virtual int GetLogFont(gdi::LOGFONTA& font) const;
    virtual int SetLogFont(const gdi::LOGFONTA& font);
    virtual int HasPen() const { return 0; }
    virtual int GetPen(int& style, int& width) const;
    virtual int SetPen(int style, int width);
    virtual int HasFill() const { return 0; }
    virtual int GetFill() const { return 0; }
    virtual int SetFill(int fill);
    /// 1 when the rectangle is kept normalized (a box drawn when visible), 0 for lines and page cuts.
    virtual int IsBoxObject() const { return 1; }
    /// 0 box, 1 line, -1 page cut.
    virtual int GetTrackKind() const { return 0; }
    /// Edits the object's properties through the view; the result of the edit (0 nothing changed).
    virtual int EditProperties(ICoverSheetView* view);
    /// Sets the object up from its line, finding its files beside the cover sheet file. 1 or 0.
    virtual int LoadResources(std::string_view line, const std::string& coverPath);
    /// Sets the object from its frame line. 1.
    virtual int ParseFrameLine(std::string_view line);
    /// The object's frame line.
    virtual std::string GetFrameLine() const;
    virtual std::string GetText() const { return {}; }
    virtual int SetText(const std::string& text);

    void SetRect(const gdi::RECT& rect) { m_rect = rect; }
    const gdi::RECT& GetRect() const { return m_rect; }

    gdi::RECT m_rect;
    /// 1 while the editor shows the object selected.
    int m_bSelected = 0;

protected:
    cover::FrameRect frameRect() const;
};

/// Sets rect from fields 1-4 of a line (text that is no number gives 0).
void ParseRectFields(std::string_view line, gdi::RECT& rect);
/// Appends "%d,%d,%d,%d," (left, top, width, height) of rect.
void FormatRectField(std::string& text, const gdi::RECT& rect);

/// Objects with a text and a font.
class CtqTextRect : public CtqRect {
public:
    explicit CtqTextRect(cover::FrameType type, const gdi::RECT& rect = {}) : CtqRect(rect), m_type(type) {}
    const char* GetRuntimeClass() const override { return "CtqTextRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    int IsTextFrame() const override { return 1; }
    int GetLogFont(gdi::LOGFONTA& font) const override;
    int SetLogFont(const gdi::LOGFONTA& font) override;
    /// The font dialog; 1 when a font was taken.
    int EditProperties(ICoverSheetView* view) override;
    int ParseFrameLine(std::string_view line) override;
    std::string GetFrameLine() const override;
    std::string GetText() const override { return m_strText; }
    int SetText(const std::string& text) override;

    cover::FrameType GetType() const { return m_type; }

    std::string m_strText;
    gdi::LOGFONTA m_logFont;

protected:
    /// Draws the text in the object's font, scaled to target (through the view when there is one).
    void drawText(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) const;

private:
    cover::FrameType m_type;
};

/// The font dialog over a font whose height is in page pixels (shown at the screen's size); true
/// on OK with the choice, its height in page pixels.
bool ChooseTextFont(ICoverSheetView& view, gdi::LOGFONTA& font);

/// Free text, edited in place.
class CtqStaticTextRect : public CtqTextRect {
public:
    explicit CtqStaticTextRect(const gdi::RECT& rect = {}) : CtqTextRect(cover::FrameType::StaticText, rect) {}
    const char* GetRuntimeClass() const override { return "CtqStaticTextRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    /// Shows the view's in-place editor over the object; 0.
    int EditProperties(ICoverSheetView* view) override;
    int ParseFrameLine(std::string_view line) override;
    std::string GetFrameLine() const override;

    /// Where the object was last drawn, in device units moved by the viewport origin.
    gdi::RECT m_rcDevice;
};

#define COVER_TEXT_CLASS(NAME, BASE, TYPE)                                                                    \
    class NAME : public BASE {                                                                               \
    public:                                                                                                  \
        explicit NAME(const gdi::RECT& rect = {}) : BASE(cover::FrameType::TYPE, rect) {}                   \
        const char* GetRuntimeClass() const override { return #NAME; }                                       \
    };

/// Recipient fields.
class CtqAddressRect : public CtqTextRect {
public:
    using CtqTextRect::CtqTextRect;
    const char* GetRuntimeClass() const override { return "CtqAddressRect"; }
};
/// Sender fields.
class CtqMyAddressRect : public CtqTextRect {
public:
    using CtqTextRect::CtqTextRect;
    const char* GetRuntimeClass() const override { return "CtqMyAddressRect"; }
};

COVER_TEXT_CLASS(CtqMemoRect, CtqTextRect, Memo)
COVER_TEXT_CLASS(CtqAddressFaxRect, CtqAddressRect, Fax)
COVER_TEXT_CLASS(CtqAddressCompanyRect, CtqAddressRect, Company)
COVER_TEXT_CLASS(CtqAddressSectionRect, CtqAddressRect, Section)
COVER_TEXT_CLASS(CtqAddressPostRect, CtqAddressRect, Post)
COVER_TEXT_CLASS(CtqAddressNameRect, CtqAddressRect, Name)
COVER_TEXT_CLASS(CtqAddressTelephoneRect, CtqAddressRect, Telephone)
COVER_TEXT_CLASS(CtqAddressMrRect, CtqAddressRect, Mr)
COVER_TEXT_CLASS(CtqAddressZipRect, CtqAddressRect, Zip)
COVER_TEXT_CLASS(CtqAddressAddress1Rect, CtqAddressRect, Address1)
COVER_TEXT_CLASS(CtqAddressAddress2Rect, CtqAddressRect, Address2)
COVER_TEXT_CLASS(CtqUserCompanyRect, CtqMyAddressRect, UserCompany)
COVER_TEXT_CLASS(CtqUserSectionRect, CtqMyAddressRect, UserSection)
COVER_TEXT_CLASS(CtqUserPostRect, CtqMyAddressRect, UserPost)
COVER_TEXT_CLASS(CtqUserNameRect, CtqMyAddressRect, UserName)
COVER_TEXT_CLASS(CtqUserIDRect, CtqMyAddressRect, UserId)
COVER_TEXT_CLASS(CtqUserFaxNumberRect, CtqMyAddressRect, UserFaxNumber)
COVER_TEXT_CLASS(CtqUserZipRect, CtqMyAddressRect, UserZip)
COVER_TEXT_CLASS(CtqUserAddress1Rect, CtqMyAddressRect, UserAddress1)
#undef COVER_TEXT_CLASS

/// The time the sheet is made, "%H:%M:%S".
class CtqTimeRect : public CtqTextRect {
public:
    explicit CtqTimeRect(const gdi::RECT& rect = {});
    const char* GetRuntimeClass() const override { return "CtqTimeRect"; }
};
/// The date the sheet is made, in the date format of the string resources.
class CtqDateRect : public CtqTextRect {
public:
    explicit CtqDateRect(const gdi::RECT& rect = {});
    const char* GetRuntimeClass() const override { return "CtqDateRect"; }
};
/// The page number, "99" while editing.
class CtqPageRect : public CtqTextRect {
public:
    explicit CtqPageRect(const gdi::RECT& rect = {});
    const char* GetRuntimeClass() const override { return "CtqPageRect"; }
};

/// While one lives on a thread, the picture files the objects read there are decoded once each:
/// the frames of a sheet that show one picture share its decoding. The reader of a sheet makes one
/// for the reading and drops the decoded pictures with it; without one every read decodes anew.
class CPictureCache {
public:
    using PicturePtr = std::shared_ptr<const qelta::imaging::Page>;

    CPictureCache();
    ~CPictureCache();
    CPictureCache(const CPictureCache&) = delete;
    CPictureCache& operator=(const CPictureCache&) = delete;

    /// The picture of a file (through the thread's cache when there is one); none when the file
    /// holds no picture that can be shown.
    static PicturePtr Decoded(const std::string& path);

private:
    CPictureCache* m_previous;
    std::vector<std::pair<std::string, PicturePtr>> m_entries; ///< oldest first
};

/// An image from a file, stretched over its rectangle. It keeps the picture at most at the size of
/// its rectangle: one bit a pixel when the file's picture is bilevel, else 32-bit. A named picture
/// that could not be read draws nothing on a page, and a crossed box with the file's name in the
/// editor's view.
class CtqBitmapRect : public CtqRect {
public:
    using CtqRect::CtqRect;
    const char* GetRuntimeClass() const override { return "CtqBitmapRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    /// The file dialog: 1 a new image was read, 2 the chosen file could not be read (nothing
    /// changes), 0 cancelled.
    int EditProperties(ICoverSheetView* view) override;
    /// Reads the image beside the cover sheet file, else as the line names it; 0 when neither reads.
    int LoadResources(std::string_view line, const std::string& coverPath) override;
    int ParseFrameLine(std::string_view line) override;
    std::string GetFrameLine() const override;

    /// Reads the image of path into the object, through pagefilelib; false (the object unchanged)
    /// when it cannot be read or is too large to be shown.
    bool ReadImage(const std::string& path);

    QImage m_bitmap;
    std::string m_strFileName;
};

/// Objects drawn with a pen.
class CtqDrawingRect : public CtqRect {
public:
    explicit CtqDrawingRect(cover::FrameType type, const gdi::RECT& rect = {}) : CtqRect(rect), m_type(type) {}
    const char* GetRuntimeClass() const override { return "CtqDrawingRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    int HasPen() const override { return 1; }
    int GetPen(int& style, int& width) const override;
    int SetPen(int style, int width) override;
    int ParseFrameLine(std::string_view line) override;
    std::string GetFrameLine() const override;

    cover::FrameType GetType() const { return m_type; }

    int m_nPenStyle = 0;
    int m_nPenWidth = 0;

protected:
    /// The pen width at the scale of target: 1 stays 1, others scale along the larger extent.
    int scaledPenWidth(const gdi::RECT& target) const;

private:
    cover::FrameType m_type;
};

/// A rectangle frame with a grey or black fill.
class CtqDrawingFrameRect : public CtqDrawingRect {
public:
    explicit CtqDrawingFrameRect(const gdi::RECT& rect = {}) : CtqDrawingRect(cover::FrameType::DrawingFrame, rect) {}
    const char* GetRuntimeClass() const override { return "CtqDrawingFrameRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    int HasFill() const override { return 1; }
    int GetFill() const override { return m_nFill; }
    int SetFill(int fill) override;
    int ParseFrameLine(std::string_view line) override;
    std::string GetFrameLine() const override;

    int m_nFill = 0;
};

/// A line between (left, top) and (right, bottom).
class CtqDrawingLineRect : public CtqDrawingRect {
public:
    explicit CtqDrawingLineRect(const gdi::RECT& rect = {}) : CtqDrawingRect(cover::FrameType::DrawingLine, rect) {}
    const char* GetRuntimeClass() const override { return "CtqDrawingLineRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    int IsBoxObject() const override { return 0; }
    int GetTrackKind() const override { return 1; }
};

/// The page cut: its top is the page height of the sheet.
class CtqDrawingCutterRect : public CtqDrawingRect {
public:
    explicit CtqDrawingCutterRect(const gdi::RECT& rect = {}) : CtqDrawingRect(cover::FrameType::PageCut, rect) {}
    const char* GetRuntimeClass() const override { return "CtqDrawingCutterRect"; }
    int Draw(gdi::CDeviceContext& dc, const gdi::RECT& target, ICoverSheetView* view) override;
    int HasPen() const override { return 0; }
    int IsBoxObject() const override { return 0; }
    int GetTrackKind() const override { return -1; }
};

/// The objects of one sheet in drawing order; it owns them.
class CtqRtArray {
public:
    CtqRtArray() = default;
    ~CtqRtArray() { RemoveAll(); }
    CtqRtArray(const CtqRtArray&) = delete;
    CtqRtArray& operator=(const CtqRtArray&) = delete;

    /// Deletes every object, then empties the array.
    void RemoveAll() { m_objects.clear(); }
    /// Appends an object; the array owns it. Its index.
    size_t Add(std::unique_ptr<CtqRect> object);
    /// Removes and deletes the object; false when it is not in the array.
    bool Remove(const CtqRect* object);
    /// Moves the object to the end (drawn last) or to index 0; false when it is not in the array.
    bool MoveToEnd(const CtqRect* object);
    bool MoveToFront(const CtqRect* object);
    size_t GetSize() const { return m_objects.size(); }
    CtqRect* GetAt(size_t index) const { return m_objects.at(index).get(); }

private:
    std::vector<std::unique_ptr<CtqRect>> m_objects;
};
