// While the sheet prints or shows in a preview its memo frames are empty: the guard keeps their
// texts and gives them back however the printing ends.
#pragma once

#include "cover/model/cover_document.h"

#include <string>
#include <utility>
#include <vector>

namespace cvr {

class CMemoTextGuard {
public:
    /// Keeps the text of every memo frame of the sheet and empties it.
    explicit CMemoTextGuard(CtqHeaderDoc& document);
    /// Gives the texts back (Restore).
    ~CMemoTextGuard();
    CMemoTextGuard(const CMemoTextGuard&) = delete;
    CMemoTextGuard& operator=(const CMemoTextGuard&) = delete;

    /// Gives each kept text back to its frame while the frame is still on the sheet; then keeps none.
    void Restore();

private:
    CtqHeaderDoc& m_Doc;
    std::vector<std::pair<CtqRect*, std::string>> m_Saved;
};

/// The resolution the sheet is drawn at for a printer of dpi: the printer's, at most 300 (the
/// printer scales the picture to its page).
int PrintDrawingDpi(int printerDpi);

} // namespace cvr
