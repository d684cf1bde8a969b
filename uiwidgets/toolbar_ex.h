// The flat toolbar (buttons raised only under the pointer, images of a strip by command id) and
// the cover sheet editor's toolbar with its font-name and font-size combo boxes. Shared by the
// cover sheet editor and the fax image viewer.
#pragma once

#include "imaging/device_context.h"

#include <QToolBar>

#include <functional>
#include <vector>

class CCoolMenuManager;
class QComboBox;

class CToolBarEx : public QToolBar {
    Q_OBJECT
public:
    explicit CToolBarEx(QWidget* parent = nullptr);

    /// Lays out the buttons: each command id its action (named by id, found through actionFor,
    /// with the image the menu manager holds for it); 0 a separator. Each id takes one slot.
    void LoadButtons(const std::vector<int>& commandIds, const CCoolMenuManager& images,
                     const std::function<QAction*(int)>& actionFor);
    /// The action in a slot (null beyond the last).
    QAction* SlotAction(int slot) const;

protected:
    std::vector<QAction*> m_Slots;
};

/// Commands of the font combos.
enum : int { ID_FONT_NAME = 15000, ID_FONT_SIZE = 15001 };

class CFontToolBar : public CToolBarEx {
    Q_OBJECT
public:
    /// The combos' slots in the toolbar's layout.
    static constexpr int kNameSlot = 12;
    static constexpr int kSizeSlot = 14;

    explicit CFontToolBar(QWidget* parent = nullptr);

    /// command: sends a command to the active view; focusView: gives the view the focus back.
    void SetHandlers(std::function<void(int)> command, std::function<void()> focusView);
    /// Puts both combos in place of their slots' buttons and fills them. False when the toolbar has
    /// no such slots.
    bool CreateFontCombos();
    /// Fills the face list from the font database and the size list, each with its first item chosen.
    void ResetFontCombos();
    /// The chosen face with height, width, weight, italic and underline of current: -1 when no
    /// face is chosen, else 0.
    int GetChosenFont(const gdi::LOGFONTA& current, gdi::LOGFONTA& chosen) const;
    /// Shows a face when it is in the list.
    void ShowFace(const std::string& face);
    /// The chosen size in points (the typed text when nothing is chosen); 0 when not a number.
    int GetSize() const;
    /// Shows a size in points (nothing for 0 or less).
    void ShowSize(int points);

    QComboBox* NameCombo() const { return m_pName; }
    QComboBox* SizeCombo() const { return m_pSize; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void send(int command);
    QComboBox* m_pName = nullptr;
    QComboBox* m_pSize = nullptr;
    std::vector<gdi::LOGFONTA> m_Faces;
    int m_nLastFace = -1;
    int m_nLastSize = -1;
    std::function<void(int)> m_Command;
    std::function<void()> m_FocusView;
};
