#include "uiwidgets/subclass_wnd.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <unordered_map>

// The first hook of every hooked widget, and the one filter per widget that hands its events to it.
class CSubclassWndMap : public QObject {
public:
    static CSubclassWndMap& Instance()
    {
        static CSubclassWndMap map;
        return map;
    }

    void Hook(CSubclassWnd* hook, QWidget* widget)
    {
        auto [it, added] = m_First.try_emplace(widget, nullptr);
        hook->m_pNext = it->second;
        hook->m_pWnd = widget;
        it->second = hook;
        if (added) {
            widget->installEventFilter(this);
            QObject::connect(widget, &QObject::destroyed, this, [this, widget] { Drop(widget); });
        }
    }

    void Unhook(CSubclassWnd* hook)
    {
        QWidget* widget = hook->m_pWnd;
        const auto it = m_First.find(widget);
        if (it != m_First.end()) {
            for (CSubclassWnd** link = &it->second; *link; link = &(*link)->m_pNext) {
                if (*link == hook) {
                    *link = hook->m_pNext;
                    break;
                }
            }
            if (!it->second) { // the last hook gone: the widget is left alone again
                widget->removeEventFilter(this);
                QObject::disconnect(widget, &QObject::destroyed, this, nullptr);
                m_First.erase(it);
            }
        }
        hook->m_pWnd = nullptr;
        hook->m_pNext = nullptr;
    }

    static bool Next(CSubclassWnd* hook, QEvent* event) { return hook ? hook->OnHookedEvent(event) : false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto it = m_First.find(static_cast<QWidget*>(watched));
        return it != m_First.end() && it->second && it->second->OnHookedEvent(event);
    }

private:
    void Drop(QWidget* widget)
    {
        const auto it = m_First.find(widget);
        if (it == m_First.end())
            return;
        for (CSubclassWnd* hook = it->second; hook;) {
            CSubclassWnd* next = hook->m_pNext;
            hook->m_pWnd = nullptr;
            hook->m_pNext = nullptr;
            hook = next;
        }
        m_First.erase(it);
    }

    std::unordered_map<QWidget*, CSubclassWnd*> m_First;
};

CSubclassWnd::~CSubclassWnd()
{
    if (m_pWnd)
        CSubclassWndMap::Instance().Unhook(this);
}

bool CSubclassWnd::HookWindow(QWidget* widget)
{
    if (m_pWnd)
        CSubclassWndMap::Instance().Unhook(this);
    if (widget)
        CSubclassWndMap::Instance().Hook(this, widget);
    return true;
}

bool CSubclassWnd::OnHookedEvent(QEvent* event)
{
    return CSubclassWndMap::Next(m_pNext, event);
}
