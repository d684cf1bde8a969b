#include "sendwizard/cover_page_logic.h"

#include "common/data_folders.h"
#include "common/program_start.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "sendwizard/page_view.h"
#include "sendwizard/wizard_strings.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

using platform::com::Bstr;

namespace {

constexpr const char* kCoverFolderValue = "CvrFile";
constexpr const char* kCoverEditorValue = "CvrEditor";

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// A folder that takes new files: it exists (made when missing) and a file can be created in it.
bool WritableFolder(const std::string& folder)
{
    if (!platform::createDirectories(folder))
        return false;
    const auto probe = platform::createTempFile(folder, "cvr", ".probe");
    if (!probe)
        return false;
    platform::removeFile(*probe);
    return true;
}

// Where the pictures of covers in folder are kept.
std::string PreviewFolderOf(const std::string& coverFolder)
{
    // The folder inside is used only when it is the user's own and no link: in a folder others may
    // write, another user could have put a folder of theirs, or a link to one, in its place.
    const std::string inside = CoverWorkFolderOf(coverFolder);
    if (!inside.empty()) {
        platform::createFolder(inside); // nothing is made when the name is taken
        if (platform::isOwnFolder(inside) && WritableFolder(inside))
            return inside;
    }
    // A shared cover folder that is read-only or holds another's "TMP": the pictures go to the
    // user's own folder, one subfolder per cover folder so that covers of the same name in two
    // folders never share a picture.
    std::string folder = coverFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    char local[kMaxPathBytes] = {};
    if (LoadShellFolderPath(local, sizeof local, CSIDL_LOCAL_APPDATA) != 1)
        return {};
    const std::string own = std::string(local) + "/qelta/cvrfileTMP/" + std::to_string(std::hash<std::string>{}(folder));
    return WritableFolder(own) ? own : std::string();
}

// Renders a cover at 400 dpi into a new file beside target and puts it in target's place, so a
// reader never sees half a picture. False when the service is missing or fails.
bool RenderCover(const std::string& coverPath, const std::string& target)
{
    const auto temporary = platform::createTempFile(platform::parentPath(target), "cvr", ".TIF");
    if (!temporary)
        return false;
    platform::com::initializeThread();
    bool rendered = false;
    {
        platform::com::Ptr<IQeltaCoverSheetTool> cover;
        if (SUCCEEDED(platform::com::createInstance(CLSID_QeltaCoverSheetTool, CLSCTX_INPROC_SERVER, cover)) && cover) {
            const platform::LocalTime now = platform::localTime();
            const Bstr name(WizardString(IDS_NAME)), number(WizardString(IDS_FAX_NUMBER)), memo(""),
                date(platform::formatLocalDate(now)), time(platform::formatLocalTime(now)), path(coverPath),
                image(*temporary);
            rendered = cover->CreateCoverSheetImageWithData(name.get(), number.get(), memo.get(), date.get(),
                                                            time.get(), 99, path.get(), kCoverPreviewDpi,
                                                            kCoverPreviewDpi, image.get())
                       == S_OK;
        }
    }
    std::error_code error;
    if (rendered)
        std::filesystem::rename(*temporary, target, error);
    if (!rendered || error) {
        platform::removeFile(*temporary);
        return false;
    }
    return true;
}

} // namespace

std::string CoverPreviewImage(const std::string& strCoverPath)
{
    const platform::FileStamp cover = platform::fileStamp(strCoverPath);
    if (!cover.exists)
        return {};
    const std::string folder = PreviewFolderOf(platform::parentPath(strCoverPath));
    if (folder.empty())
        return {};
    const std::string image = folder + "/" + platform::fileNameOf(strCoverPath) + ".TIF";
    const platform::FileStamp picture = platform::fileStamp(image);
    if (picture.exists && picture.modifiedNs >= cover.modifiedNs)
        return image;
    return RenderCover(strCoverPath, image) ? image : std::string();
}

CPPSelectCoverLogic::CPPSelectCoverLogic(CPSMainuiLogic& sheet, IPrompter& prompter)
    : m_Sheet(sheet), m_Prompter(prompter)
{
}

void CPPSelectCoverLogic::OnInitDialog()
{
    m_Sheet.SetRelistFlag(true);
    SetAttach(m_bAttach);
    m_bChanged = true;
}

void CPPSelectCoverLogic::OnSetActive()
{
    const std::string folder = GetCoverFolder();
    if (folder == m_strFolder && !m_Sheet.GetRelistFlag())
        return;
    const std::string previous = m_nSelection >= 0 ? m_Files[static_cast<size_t>(m_nSelection)] : std::string();
    m_strFolder = folder;
    List();
    SelectByPrefix(previous);
}

bool CPPSelectCoverLogic::OnWizardNext()
{
    // Attaching needs a cover: without one the job would fail only when it is sent.
    if (m_bAttach && m_strCoverPath.empty()) {
        m_Prompter.MessageBox(WizardString(IDS_NO_COVER_SELECTED), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
        return false;
    }
    if (m_bChanged) {
        m_bChanged = false;
        m_Sheet.m_bChanged = 1;
    }
    return true;
}

void CPPSelectCoverLogic::SetAttach(bool bAttach)
{
    m_bAttach = bAttach;
    m_Sheet.m_bAttachCover = bAttach ? 1 : 0;
    RefreshPreview();
    m_bChanged = true;
}

void CPPSelectCoverLogic::Select(int nIndex)
{
    if (nIndex >= 0 && nIndex < static_cast<int>(m_Files.size()))
        m_nSelection = nIndex;
    RefreshPreview();
    m_bChanged = true;
}

void CPPSelectCoverLogic::CreateNew()
{
    StartEditor({});
    m_bChanged = true;
}

void CPPSelectCoverLogic::Edit()
{
    m_bChanged = true;
    if (m_nSelection < 0) {
        m_Prompter.MessageBox(WizardString(IDS_NO_COVER_SELECTED), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
        return;
    }
    StartEditor(m_strFolder + m_Files[static_cast<size_t>(m_nSelection)]);
}

void CPPSelectCoverLogic::StartEditor(const std::string& strCoverPath)
{
    // The editor runs on its own; the platform reaps it when it ends.
    StartSettingProgram(kCoverEditorValue, strCoverPath.empty() ? std::vector<std::string>{}
                                                                : std::vector<std::string>{strCoverPath});
}

void CPPSelectCoverLogic::FolderChange()
{
    m_bChanged = true;
    const auto chosen = m_Prompter.BrowseForFolder(WizardString(IDS_SELECT_COVER_FOLDER), m_strFolder);
    if (!chosen || chosen->empty())
        return;
    const std::string folder = WithSlash(*chosen);
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, kCoverFolderValue, folder);
    m_strFolder = folder;
    List();
    SelectByPrefix({});
}

void CPPSelectCoverLogic::SetZoomPosition(int nPosition)
{
    m_dZoom = ZoomOfSliderPosition(nPosition);
    m_nDisplayMode = kDisplayZoomFactor;
    m_bChanged = true;
}

void CPPSelectCoverLogic::SetShownZoom(double dZoom)
{
    if (m_nDisplayMode != kDisplayZoomFactor && dZoom > 0)
        m_dZoom = dZoom;
}

int CPPSelectCoverLogic::GetZoomPosition() const { return SliderPositionOfZoom(m_dZoom); }

std::string CPPSelectCoverLogic::GetZoomText() const
{
    return FormatPageText(WizardString(IDS_ZOOM_PERCENT), GetZoomPosition(), 0);
}

void CPPSelectCoverLogic::SetDescription(std::string strText)
{
    m_strDescription = std::move(strText);
    m_Sheet.m_strCoverMemo = m_strDescription;
    m_bChanged = true;
}

void CPPSelectCoverLogic::OnCoverSheetSaved(uint32_t wParam)
{
    if (wParam < 1 || wParam > 3)
        return;
    const std::string remembered =
        wParam != 3 && m_nSelection >= 0 ? m_Files[static_cast<size_t>(m_nSelection)] : std::string();
    List();
    SelectByPrefix(remembered);
    RefreshPreview();
    m_bChanged = true;
}

void CPPSelectCoverLogic::List()
{
    m_Files = m_strFolder.empty() ? std::vector<std::string>{} : platform::listFiles(m_strFolder, "*.TQC");
    m_nSelection = -1;
    m_Sheet.SetRelistFlag(false);
}

void CPPSelectCoverLogic::SelectByPrefix(const std::string& strPrefix)
{
    if (m_Files.empty())
        return; // the cover path stays as it was
    m_nSelection = 0;
    if (!strPrefix.empty()) {
        const auto found = std::find_if(m_Files.begin(), m_Files.end(),
                                        [&](const std::string& name) { return name.starts_with(strPrefix); });
        if (found != m_Files.end())
            m_nSelection = static_cast<int>(found - m_Files.begin());
    }
    if (m_bAttach) {
        m_strCoverPath = m_strFolder + m_Files[static_cast<size_t>(m_nSelection)];
        m_Sheet.m_strCoverPath = m_strCoverPath;
    }
}

void CPPSelectCoverLogic::RefreshPreview()
{
    m_strPreviewImage.clear();
    // A new picture is first shown whole; the slider then zooms into it.
    m_dZoom = kCoverPreviewZoom;
    m_nDisplayMode = kDisplayWholePage;
    if (!m_bAttach) {
        m_strCoverPath.clear();
        m_Sheet.m_strCoverPath.clear();
        return;
    }
    if (m_nSelection < 0) {
        if (m_Files.empty())
            return;
        m_nSelection = 0;
    }
    m_strCoverPath = m_strFolder + m_Files[static_cast<size_t>(m_nSelection)];
    m_Sheet.m_strCoverPath = m_strCoverPath;
    m_strPreviewImage = CoverPreviewImage(m_strCoverPath);
}
