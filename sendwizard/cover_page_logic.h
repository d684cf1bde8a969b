// The Select Cover Sheet page without its widgets: the cover sheet folder and its files, the
// attach choice, the cached preview picture, the zoom and the cover sheet editor.
#pragma once

#include "common/data_folders.h"
#include "sendwizard/sheet_logic.h"

#include <cstdint>
#include <string>
#include <vector>

class IPrompter;

/// The page's controls.
enum : int {
    IDC_ATTACH_COVER = 1034,
    IDC_COVER_GROUP = 1025,
    IDC_COVER_LIST = 1027,
    IDC_CREATE_NEW = 1028,
    IDC_EDIT_COVER = 1029,
    IDC_FOLDER_GROUP = 1026,
    IDC_FOLDER = 1030,
    IDC_FOLDER_CHANGE = 1031,
    IDC_COVER_PREVIEW_GROUP = 1036,
    IDC_COVER_DISPLAY = 1093,
    IDC_ZOOM_SLIDER = 1049,
    IDC_ZOOM_PERCENT = 1050,
    IDC_DESCRIPTION_GROUP = 1032,
    IDC_DESCRIPTION = 1033,
};

/// The controls the attach box enables and disables, in the order the page names them.
inline constexpr int kCoverControls[] = {IDC_COVER_GROUP, IDC_COVER_LIST, IDC_CREATE_NEW, IDC_EDIT_COVER,
                                         IDC_FOLDER_GROUP, IDC_FOLDER, IDC_FOLDER_CHANGE, IDC_COVER_PREVIEW_GROUP,
                                         IDC_DESCRIPTION_GROUP, IDC_DESCRIPTION, IDC_COVER_DISPLAY,
                                         IDC_ZOOM_PERCENT, IDC_ZOOM_SLIDER};

/// The resolution the cover preview is rendered at, and its zoom until the display has fitted it.
inline constexpr int kCoverPreviewDpi = 400;
inline constexpr double kCoverPreviewZoom = 0.2;

/// The cached preview picture of a cover file: in the folder "TMP" inside the cover's folder
/// (CoverWorkFolderOf), named by the cover's whole name + ".TIF"; when that folder cannot be made
/// or written, or is a link or another user's, in the user's local application data folder. Renders it again when it is missing or older than the cover file.
/// Empty when there is no cover file or the rendering failed (nothing is shown then).
std::string CoverPreviewImage(const std::string& strCoverPath);

class CPPSelectCoverLogic {
public:
    CPPSelectCoverLogic(CPSMainuiLogic& sheet, IPrompter& prompter);

    /// First set-up: the re-list flag is set, the attach choice applied, the changed mark set.
    void OnInitDialog();
    /// Reads the cover folder (GetCoverFolder: made on first use) and relists it when it
    /// changed or the sheet's re-list flag is set.
    void OnSetActive();
    /// False (after STRING 2000) while a cover is to be attached but none is selected; otherwise
    /// hands the changed mark to the sheet.
    bool OnWizardNext();

    /// The attach box: every cover control follows it; the preview is refreshed.
    void SetAttach(bool bAttach);
    bool GetAttach() const { return m_bAttach; }
    /// A cover file was selected in the list (an index of Files()).
    void Select(int nIndex);
    /// Starts the cover sheet editor without a file.
    void CreateNew();
    /// Starts the cover sheet editor on the selected file; none selected: STRING 2000.
    void Edit();
    /// Asks for another folder (STRING 403), opening at the current one; stores it in "CvrFile" and
    /// lists it.
    void FolderChange();
    /// The zoom slider's position (1..100): the zoom factor in hundredths, shown in mode 3.
    void SetZoomPosition(int nPosition);
    /// The zoom the display fitted the whole picture at (the picture is first shown whole); the
    /// slider and the percentage show it until the slider is moved.
    void SetShownZoom(double dZoom);
    /// The description text.
    void SetDescription(std::string strText);
    /// The cover sheet editor saved a sheet (wParam 1 Save As, 2 Save, 3 other).
    void OnCoverSheetSaved(uint32_t wParam);

    const std::string& GetFolder() const { return m_strFolder; }
    const std::vector<std::string>& Files() const { return m_Files; }
    /// The selected entry of Files(); -1 for none.
    int GetSelection() const { return m_nSelection; }
    /// The selected cover path (empty while no cover is attached).
    const std::string& GetCoverPath() const { return m_strCoverPath; }
    const std::string& GetDescription() const { return m_strDescription; }
    /// The picture shown (empty: none).
    const std::string& GetPreviewImage() const { return m_strPreviewImage; }
    double GetZoom() const { return m_dZoom; }
    int GetDisplayMode() const { return m_nDisplayMode; }
    /// The zoom as the slider position and as the percentage text (STRING 510).
    int GetZoomPosition() const;
    std::string GetZoomText() const;
    bool IsChanged() const { return m_bChanged; }

private:
    void List();
    void SelectByPrefix(const std::string& strPrefix);
    void RefreshPreview();
    void StartEditor(const std::string& strCoverPath);

    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    bool m_bAttach = false, m_bChanged = false;
    std::string m_strFolder, m_strCoverPath, m_strDescription, m_strPreviewImage;
    std::vector<std::string> m_Files;
    int m_nSelection = -1;
    double m_dZoom = kCoverPreviewZoom;
    int m_nDisplayMode = 1; ///< the whole picture; 3 once the slider zooms
};
