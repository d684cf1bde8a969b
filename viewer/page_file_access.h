// Page file access: the viewer's thin layer over pagefilelib. Files are identified, counted, read
// into page objects, written, converted into one file, and link files (lists of paths) expanded.
// Every function answers the library's 16-bit code (0 = success) unless it says otherwise; the
// caller shows a failure with PageFileShowError.
#pragma once

#include "imaging/pagefilelib.h"
#include "platform/files.h"
#include "viewer/page_rendering.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace viewer {

/// A link file is read up to this size; a longer one fails with PF_ERR_TOO_LARGE.
inline constexpr int kMaxLinkFileBytes = 1 << 20;
/// Link files listing link files are followed this deep; deeper fails with kLinkFilesTooDeep.
inline constexpr int kMaxLinkDepth = 8;
/// A conversion makes a document of at most this many pages, and of at most this many bytes of
/// one-bit pages (as the viewer holds them); more fails with PF_ERR_TOO_LARGE before anything is
/// written, or as soon as the pages read pass the bytes.
inline constexpr int kMaxConvertedPages = 1000;
inline constexpr int64_t kMaxConvertedBytes = int64_t{512} << 20;
/// A conversion stopped by its progress report (not a library code: nothing to show).
inline constexpr int16_t kConversionCancelled = 1;
/// Link files that name a link file a second time, through themselves or others (not library codes).
inline constexpr int16_t kLinkFilesRepeat = 2;
/// Link files listing link files deeper than kMaxLinkDepth.
inline constexpr int16_t kLinkFilesTooDeep = 3;
/// Told the share of a conversion done (0 to 100) after each page; false stops the conversion.
using ConversionProgress = std::function<bool(int percent)>;

/// Set while a read, write or conversion runs (the application's busy flag), cleared at its end.
class CBusyScope {
public:
    explicit CBusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~CBusyScope() { m_busy = false; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    bool& m_busy;
};

/// A message's text with the file it is about on a line below it (nothing added without a path).
std::string NamingFile(const std::string& text, const std::string& path);
/// The text a library message box shows: the library's text, naming the file that the message
/// ShowPageFileError shows on this thread is about (nothing added for any other message).
std::string PageFileMessageText(const char* text);
/// Shows the library's message for code about the file at path.
void ShowPageFileError(int code, const std::string& path);

/// True when the path's extension is LNK or TQS, in any case.
bool IsLinkFileName(const std::string& path);
/// The text after the last "." (not past the last "/"), upper-cased; empty when there is none.
std::string UpperExtension(const std::string& path);

/// The file's type (PF_TYPE_, 0 for none of the library's), or the library's error code.
int GetFileType(const std::string& path);
/// Pages of a file of that type: 1 for BMP and PCX (without the library), the library's count for
/// TIFF, FAX and documents, -1 for any other type.
int CountPages(const std::string& path, int type);
/// Reads pages [first, end) (0-based) into pages (appended); chains each reader to the one before.
/// Pages read before an error stay in pages.
int16_t ReadPages(const std::string& path, CPageImageArray& pages, int type, int first, int end, int readOption,
                  intptr_t appValue, bool& busy);
/// Writes the bitmaps as one file (written beside the target and renamed over it: a failure leaves
/// the old file as it was).
int16_t WritePages(const std::vector<IKHANDLE>& bitmaps, const std::string& path, int type, int compression,
                   int readOption, intptr_t appValue, bool& busy);
/// The library's record of the file (type, version, compression, colours); the library's code when
/// it cannot describe the file, as for a file whose page chain breaks off.
int16_t DescribeFile(const std::string& path, PAGEFILEDOCUMENT& record);
/// The file a document's pages were read from, as it was when they were read: what the document
/// tells of its file stays true of the pages shown, whatever becomes of the file later.
struct CLoadedFile {
    std::string path;          ///< the file read (for a link file, the document it was converted into)
    PAGEFILEDOCUMENT record{}; ///< its record; file type 0 when nothing was read
    platform::FileStamp stamp; ///< its identity, taken before it was read
};
/// Describes path into file: its stamp first, then the library's record; the library's code.
int16_t DescribeLoadedFile(const std::string& path, CLoadedFile& file);
/// True when the file at file.path is no longer the one read (replaced, rewritten or gone).
bool LoadedFileChanged(const CLoadedFile& file);
/// Reads a link file's paths: lines ended by CR LF or LF (carriage returns before the LF dropped), a
/// last unterminated line included, empty lines skipped. PF_ERR_OPEN for a file that cannot be read, PF_ERR_TOO_LARGE past the bound.
int16_t ReadLinkFile(const std::string& path, std::vector<std::string>& paths);
/// The page files behind the sources: page files as they are, link files replaced by their
/// (expanded) paths. PF_ERR_OPEN for a source that is neither or a missing one; kLinkFilesRepeat for
/// a link file met a second time (a cycle, or a fan-out that would multiply the pages);
/// kLinkFilesTooDeep for nesting deeper than kMaxLinkDepth; PF_ERR_TOO_LARGE for more than
/// kMaxConvertedPages paths.
int16_t ExpandSources(const std::vector<std::string>& sources, std::vector<std::string>& files);
/// Converts the sources into one destination file of targetType: type 6 writes the expanded paths,
/// each followed by CR LF; other types copy every page in order (the first creates the file), the
/// pages of one file read through one opening of it. PF_ERR_TOO_LARGE past kMaxConvertedPages or
/// kMaxConvertedBytes; kConversionCancelled when progress said stop. A page conversion that fails
/// or stops removes what it wrote.
int16_t ConvertFiles(const std::vector<std::string>& sources, const std::string& destination, int targetType,
                     int compression, int option, bool& busy, const ConversionProgress& progress = {});

} // namespace viewer
