// Hooks on a widget's events, several in a chain: each hook sees the widget's events before the
// widget does, first the hook installed last, and hands them on to the next one. A widget that is
// destroyed drops its hooks.
#pragma once

class QEvent;
class QWidget;

class CSubclassWnd {
public:
    CSubclassWnd() = default;
    /// Unhooks.
    virtual ~CSubclassWnd();
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    /// With a widget: becomes its first hook (after unhooking from any earlier one). With null:
    /// leaves the chain of the widget hooked. True.
    bool HookWindow(QWidget* widget);
    QWidget* HookedWindow() const { return m_pWnd; }
    bool IsHooked() const { return m_pWnd != nullptr; }

protected:
    /// An event of the hooked widget: true stops it there. The base hands it to the next hook, and
    /// after the last one to the widget (false).
    virtual bool OnHookedEvent(QEvent* event);

private:
    friend class CSubclassWndMap;
    QWidget* m_pWnd = nullptr;
    CSubclassWnd* m_pNext = nullptr;
};
