// The result pop-up without its window: where it stands at each corner of the screen, its slide in,
// display time and slide out, and what a click or the mouse over it does. The window implements
// IPopupHost and forwards its timers, clicks and mouse moves here.
#pragma once

#include <cstdint>
#include <string>

/// A rectangle in screen pixels (right and bottom exclusive).
struct CPopupRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const CPopupRect&) const = default;
};

inline constexpr int kPopupWidth = 460;
inline constexpr int kPopupHeight = 120;
inline constexpr int kPopupMargin = 16;
/// Timer ids: the slide and the display time.
inline constexpr int kSlideTimerId = 100;
inline constexpr int kDisplayTimerId = 200;
/// A slide tick; the window moves kSlideStepPixels a tick, kSlideSteps ticks in and a quarter of them out.
inline constexpr uint32_t kSlideIntervalMs = 15;
inline constexpr int kSlideSteps = 40;
inline constexpr int kSlideStepPixels = 3;
/// Colours (0xRRGGBB): the pop-up's background.
inline constexpr uint32_t kPopupBackground = 0x00E0E0;
/// The icon's place in the client area.
inline constexpr int kPopupIconX = 4;
inline constexpr int kPopupIconY = 4;

/// The pop-up's final place at a corner (0 top left, 1 top right, 2 bottom left, 3 bottom right;
/// anything else as 3) of the available screen area.
CPopupRect PopupFinalRect(int nPosition, const CPopupRect& area);

/// Where the text is drawn in a client area of the given size.
CPopupRect PopupTextRect(int nClientWidth, int nClientHeight);

/// The pop-up font's size in points: 9 for the Japanese locale (1041), else 8.
int PopupFontPointSize(uint32_t dwLocale);

/// What the logic asks of the window.
class IPopupHost {
public:
    virtual ~IPopupHost() = default;
    /// The screen area the pop-up stays in (the primary screen's available area).
    virtual CPopupRect AvailableArea() const = 0;
    /// Moves the window's top left corner, creating the window when it does not exist.
    virtual void MovePopup(int nLeft, int nTop) = 0;
    /// Shows it without activating it.
    virtual void ShowPopupWindow() = 0;
    virtual void HidePopupWindow() = 0;
    /// Destroys it; the next message creates it again.
    virtual void DestroyPopupWindow() = 0;
    virtual void RepaintPopup() = 0;
    virtual void SetPopupTimer(int nTimerId, uint32_t nIntervalMs) = 0;
    virtual void KillPopupTimer(int nTimerId) = 0;
};

class CResultPopupLogic {
public:
    explicit CResultPopupLogic(IPopupHost& host) : m_host(host) {}

    /// Shows a message at a corner: stops any slide and display time first, so every message is
    /// shown its whole time; slides in when bAnimate is 1, else stays until clicked or moused over.
    void ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate,
                   uint32_t dwDisplayTime);
    /// A tick of one of the timers.
    void OnTimer(int nTimerId);
    /// A click (either button): closes at once.
    void OnClick();
    /// The mouse over the window: when no slide runs, the display time ends and it slides out.
    void OnMouseMove();

    bool IsOpen() const { return m_bOpen; }
    bool IsSliding() const { return m_bSlideTimer; }
    bool IsDisplaying() const { return m_bDisplayTimer; }
    int GetLeft() const { return m_nLeft; }
    int GetTop() const { return m_nTop; }
    int GetPosition() const { return m_nPosition; }
    uint32_t GetIconId() const { return m_nIconId; }
    const std::string& GetText() const { return m_strText; }

private:
    void StopTimers();
    void StartSlide(int nDirection);
    void Close();

    IPopupHost& m_host;
    int m_nPosition = 3;
    uint32_t m_dwDisplayTime = 500;
    std::string m_strText;
    uint32_t m_nIconId = 0;
    int m_nStepsLeft = 0;
    int m_nDirection = 0; // 0 sliding in, 1 sliding out
    bool m_bSlideTimer = false;
    bool m_bDisplayTimer = false;
    bool m_bOpen = false;
    int m_nLeft = 0;
    int m_nTop = 0;
};
