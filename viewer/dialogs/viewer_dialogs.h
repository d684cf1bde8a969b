// The viewer's dialogs as thin Qt widgets over their logic (viewer/viewer_dialog_logic.h): controls
// named by their ids, edits passed to the logic, its answers copied back.
#pragma once

#include "common/prompter.h"
#include "viewer/viewer_dialog_logic.h"
#include "viewer/viewer_document.h"

#include <QComboBox>
#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace viewer {

/// The colour list: an owner-drawn combo box of the named colours (16, or 15 without WHITE).
class CColourCombo : public QComboBox {
    Q_OBJECT
public:
    explicit CColourCombo(bool withoutWhite = false, QWidget* parent = nullptr);
    /// Selects the item of that colour, BLACK when none has it.
    void SelectColour(uint32_t colour);
    uint32_t SelectedColour() const;

private:
    CColourListLogic m_logic;
};

/// Up and down buttons beside a read-only number field: emits the spin delta (-1 up, +1 down).
class CSpinButtons : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtons(QWidget* parent = nullptr);
    /// Up and Down in buddy (and in the buttons themselves) step as the buttons do.
    void SetBuddy(QWidget* buddy);
signals:
    void Delta(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool Step(int key);
};

/// Change File Format (119).
class CChangeFileFormatDlg : public QDialog {
    Q_OBJECT
public:
    explicit CChangeFileFormatDlg(QWidget* parent = nullptr);
    CFileFormat Result() const { return m_logic.Result(); }

private:
    void FillSubFormats();
    CChangeFileFormatLogic m_logic;
    QComboBox* m_pFormat;
    QComboBox* m_pSubFormat;
};

/// File information (102). Open() false: the library's message was shown and the dialog is not shown.
class CFileInfoDlg : public QDialog {
    Q_OBJECT
public:
    CFileInfoDlg(const CLoadedFile& file, const CPageImageArray& pages, QWidget* parent = nullptr);
    bool Open();

private:
    void Show();
    CFileInfoLogic m_logic;
    std::vector<QLineEdit*> m_fields;
    QLabel* m_pNote;
    QPushButton* m_pPrevious;
    QPushButton* m_pNext;
    QPushButton* m_pOk;
};

/// Settings (135).
class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CSettingsDlg(const CSettingsValues& values, IPrompter& prompter, QWidget* parent = nullptr);
    CSettingsValues Values() const;
    void accept() override;

private:
    void Show();
    CSettingsLogic m_logic;
    IPrompter& m_prompter;
    QCheckBox* m_pAdjust;
    QLineEdit* m_pLines;
    CSpinButtons* m_pSpin;
};

/// Page jump (134).
class CPageJumpDlg : public QDialog {
    Q_OBJECT
public:
    CPageJumpDlg(int pageCount, int current, IPrompter& prompter, QWidget* parent = nullptr);
    int Current() const { return m_logic.Current(); }
    void accept() override;

private:
    CPageJumpLogic m_logic;
    IPrompter& m_prompter;
    QLineEdit* m_pPage;
};

/// Tilt correction (158): modeless, no close box; its buttons leave the tool running.
class CTiltCorrectionDlg : public QDialog {
    Q_OBJECT
public:
    CTiltCorrectionDlg(ITiltTool& tool, IPrompter& prompter, QWidget* parent = nullptr);

protected:
    void reject() override; // command 3 (Escape): ends the tilt tool

private:
    CTiltCorrectionLogic m_logic;
};

/// Line width and colour (152).
class CLineStyleDlg : public QDialog {
    Q_OBJECT
public:
    CLineStyleDlg(int width, uint32_t colour, const std::string& caption, IPrompter& prompter, QWidget* parent = nullptr);
    int Width() const { return m_logic.Width(); }
    uint32_t Colour() const { return m_pColour->SelectedColour(); }
    void accept() override;

private:
    CLineStyleLogic m_logic;
    IPrompter& m_prompter;
    QLineEdit* m_pWidth;
    CColourCombo* m_pColour;
};

/// Colour (154); the 15-colour form for markers.
class CColorDlg : public QDialog {
    Q_OBJECT
public:
    CColorDlg(uint32_t colour, bool withoutWhite, const std::string& caption, QWidget* parent = nullptr);
    uint32_t Colour() const { return m_pColour->SelectedColour(); }

private:
    CColourCombo* m_pColour;
};

/// Colour and font (153), for patch memos.
class CColorFontDlg : public QDialog {
    Q_OBJECT
public:
    CColorFontDlg(uint32_t colour, const gdi::LOGFONTA& font, uint32_t textColour, const std::string& caption,
                  IFontChooser& fonts, QWidget* parent = nullptr);
    uint32_t Colour() const { return m_pColour->SelectedColour(); }
    const gdi::LOGFONTA& Font() const { return m_font; }
    uint32_t TextColour() const { return m_nTextColour; }

private:
    CColourCombo* m_pColour;
    gdi::LOGFONTA m_font;
    uint32_t m_nTextColour;
};

/// Edit Stamp (162).
class CEditStampDlg : public QDialog {
    Q_OBJECT
public:
    CEditStampDlg(const CStampRecord& record, const std::string& caption, IFontChooser& fonts, QWidget* parent = nullptr);
    const CStampRecord& Record() const { return m_logic.Record(); }
    void accept() override;

private:
    void Insert(const char* code);
    CEditStampLogic m_logic;
    QLineEdit* m_pName;
    QLineEdit* m_pText;
};

/// The font chooser of the viewer: the shared font dialog with its colour row, under the caller's
/// caption (the dialog's own when empty). Heights are page pixels at 200 dpi, colours COLORREFs.
class CQtFontChooser : public IFontChooser {
public:
    explicit CQtFontChooser(QWidget* parent, std::string caption = {})
        : m_pParent(parent), m_caption(std::move(caption)) {}
    void SetCaption(const std::string& caption) { m_caption = caption; }
    bool Choose(gdi::LOGFONTA& font, uint32_t& colour) override;

private:
    QWidget* m_pParent;
    std::string m_caption;
};

/// The stamp editor of the stamp list: Edit Stamp as a modal dialog.
class CQtStampEditor : public IStampEditor {
public:
    CQtStampEditor(IFontChooser& fonts, QWidget* parent) : m_fonts(fonts), m_pParent(parent) {}
    bool Edit(const std::string& caption, CStampRecord& record) override;

private:
    IFontChooser& m_fonts;
    QWidget* m_pParent;
};

/// Stamp Properties (155).
class CStampListDlg : public QDialog {
    Q_OBJECT
public:
    CStampListDlg(const std::array<CStampRecord, kMaxStamps>& stamps, int count, int current,
                  const gdi::LOGFONTA& defaultFont, uint32_t defaultColour, const std::string& caption,
                  IStampEditor& editor, QWidget* parent = nullptr);
    const CStampListLogic& Logic() const { return m_logic; }
    int Current() const { return m_logic.Accept(); }

private:
    void Show();
    CStampListLogic m_logic;
    IStampEditor& m_editor;
    QListWidget* m_pList;
    QLabel* m_pPreview;
    QPushButton* m_pDelete;
    QPushButton* m_pEdit;
};

/// The Qt name filters of a filter string of "description|patterns|" pairs (strings 60034 and
/// 60036): each pattern also in lower case, as extensions are matched without regard to case.
QStringList QtNameFilters(const std::string& filter);

/// The document's dialogs as Qt runs them (file dialogs, Change File Format, Page jump, Settings,
/// File information) over a parent window, with the font chooser and the stamp editor of the
/// annotation dialogs. The program's frame derives from it and adds the status bar and the cursor.
class CQtViewerDialogs : public IViewerFrame {
public:
    CQtViewerDialogs(IPrompter& prompter, QWidget* parent)
        : m_prompter(prompter), m_pParent(parent), m_fonts(parent), m_stampEditor(m_fonts, parent) {}
    /// The font dialog of the colour-and-font and stamp dialogs (no caption of their own).
    IFontChooser& Fonts() { return m_fonts; }
    IStampEditor& StampEditor() { return m_stampEditor; }
    std::optional<std::pair<std::string, int>> SaveAsFile(const std::string& filter, int entry,
                                                          const std::string& name) override;
    std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                        const std::string& folder) override;
    std::optional<CFileFormat> ChangeFileFormat() override;
    std::optional<int> PageJump(int count, int current) override;
    bool Settings(CSettingsValues& values) override;
    void FileInformation(const CLoadedFile& file, const CPageImageArray& pages) override;
    /// The conversion on a worker thread behind the progress dialog, Cancel shown.
    int16_t RunConversion(const std::function<int16_t(const ConversionProgress&)>& work) override;

private:
    IPrompter& m_prompter;
    QWidget* m_pParent;
    CQtFontChooser m_fonts;
    CQtStampEditor m_stampEditor;
};

} // namespace viewer
