// Menus with pictures: each menu action of a frame whose command has a toolbar button shows that
// button's image (embossed when disabled), and, when the option is on, its keys after a tab. Shared
// by the cover sheet editor and the fax image viewer. Actions are found by their object names
// ("id57603", see control_name.h); actions that carry data of their own are left as they are.
#pragma once

#include "uiwidgets/subclass_wnd.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QKeySequence>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QMainWindow;
class QMenu;

/// One accelerator of a frame: keys and the command they send.
struct CAccelerator {
    QKeySequence keys;
    int command = 0;
};

/// An image drawn embossed, as a disabled button shows it: its dark pixels as a highlight line one
/// pixel right and down under a shadow in place, on transparent ground.
QImage EmbossedImage(const QImage& image, QColor highlight, QColor shadow);

class CCoolMenuManager : public CSubclassWnd {
public:
    /// Options: key texts after a tab (on), disabled images in Qt's own disabled look instead of
    /// embossed (off).
    bool m_bAutoAccel = true;
    bool m_bUseDrawState = false;

    /// Serves a frame: hooks it and gives its menus their pictures each time one opens.
    void Install(QMainWindow* frame);
    /// Adds the images of a toolbar strip: one image of the strip's height... per non-zero command
    /// id (0 is a separator, which takes none). Pixels of the mask colour are transparent. False for
    /// a null strip, a strip too narrow for its ids, or an image size other than the first strip's.
    bool LoadToolbar(const QImage& strip, const std::vector<int>& commandIds, QSize imageSize,
                     QColor maskColour = QColor(192, 192, 192));
    /// The same from a bitmap resource of the program (false when it is missing).
    bool LoadToolbar(uint32_t bitmapId, const std::vector<int>& commandIds, QSize imageSize);
    /// The frame's accelerators, whose keys the menus show.
    void SetAccelerators(std::vector<CAccelerator> accelerators) { m_Accelerators = std::move(accelerators); }

    /// The image index of a command, -1 when it has none.
    int ImageIndex(int command) const;
    /// The icon of a command (normal and disabled); null when it has no image.
    QIcon Icon(int command) const;
    QSize ImageSize() const { return m_ImageSize; }
    /// "\tCtrl+S, F2": the keys of a command after a tab, joined by ", "; empty without keys.
    QString KeyText(int command) const;
    /// Gives a menu's actions their pictures and key texts.
    void ConvertMenu(QMenu* menu);
    /// Drops the images and loads every strip again (after a change of the colours).
    void RefreshToolbars();

protected:
    bool OnHookedEvent(QEvent* event) override;

private:
    struct Strip {
        QImage image;
        std::vector<int> ids;
        QColor mask;
    };
    bool addStrip(const Strip& strip);

    QMainWindow* m_pFrame = nullptr;
    QSize m_ImageSize;
    std::vector<Strip> m_Strips;
    std::vector<QImage> m_Images;
    std::map<int, int> m_CommandImage;
    std::vector<CAccelerator> m_Accelerators;
};
