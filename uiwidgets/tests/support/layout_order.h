// Checks of a window's keyboard order against its layout, shared by the widget tests of every
// program: the Tab chain of the focusable controls, and whether it reads the layout top to bottom
// and left to right.
#pragma once

#include <QFormLayout>
#include <QRect>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelta::test {

// The controls of root that Tab reaches (shown and taking focus by Tab; the inner field of a
// compound control is left out), in the order of the window's Tab chain. Disabled controls keep
// their place.
inline std::vector<QWidget*> TabChain(QWidget* root)
{
    auto takes = [root](QWidget* w) {
        return w != root && root->isAncestorOf(w) && w->isVisibleTo(root) && (w->focusPolicy() & Qt::TabFocus);
    };
    std::vector<QWidget*> chain;
    QWidget* window = root->window();
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        // A spin box's own line edit is left out: the spin box stands for both.
        QWidget* parent = w->parentWidget();
        if (takes(w) && !(parent && parent->focusProxy() == w && takes(parent)))
            chain.push_back(w);
    }
    return chain;
}

// How a control is named in a failure: its object name, else its class and text.
inline std::string Describe(const QWidget* w)
{
    const QString name = w->objectName();
    return (name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name).toStdString();
}

// The outermost group box holding w inside root; null when none does.
inline QWidget* GroupOf(QWidget* w, QWidget* root)
{
    QWidget* group = nullptr;
    for (QWidget* up = w->parentWidget(); up && up != root; up = up->parentWidget())
        if (up->inherits("QGroupBox"))
            group = up;
    return group;
}

// True when label is the control that labels field's row of a form (a choice such as a radio
// button beside the field it stands for), which Tab may reach just after the field.
inline bool LabelsRowOf(QWidget* label, QWidget* field)
{
    QWidget* parent = field->parentWidget();
    if (!parent || label->parentWidget() != parent)
        return false;
    for (QFormLayout* form : parent->findChildren<QFormLayout*>()) {
        int row = -1;
        QFormLayout::ItemRole role{};
        form->getWidgetPosition(field, &row, &role);
        if (row >= 0 && role == QFormLayout::FieldRole)
            if (QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole); item && item->widget() == label)
                return true;
    }
    return false;
}

// True when a stands before b in reading order: wholly above it, or beside it and wholly to its left.
inline bool ReadsBefore(const QRect& a, const QRect& b)
{
    if (a.bottom() < b.top())
        return true;
    const bool beside = a.top() <= b.bottom() && b.top() <= a.bottom();
    return beside && a.right() < b.left();
}

// Passes when no control of the Tab chain comes after one that reads after it in the layout. A
// group box is read as a whole against what lies outside it, so that side-by-side groups are
// read one after the other; a control labelling a form's row may follow that row's field.
inline ::testing::AssertionResult TabOrderFollowsLayout(QWidget* root)
{
    const std::vector<QWidget*> chain = TabChain(root);
    if (chain.empty())
        return ::testing::AssertionFailure() << "no control takes focus";
    auto rectOf = [root](QWidget* w) { return QRect(w->mapTo(root->window(), QPoint(0, 0)), w->size()); };
    for (size_t i = 0; i < chain.size(); ++i)
        for (size_t j = i + 1; j < chain.size(); ++j) {
            QWidget* groupI = GroupOf(chain[i], root);
            QWidget* groupJ = GroupOf(chain[j], root);
            const bool apart = groupI != groupJ;
            const QRect first = apart && groupI ? rectOf(groupI) : rectOf(chain[i]);
            const QRect later = apart && groupJ ? rectOf(groupJ) : rectOf(chain[j]);
            if (ReadsBefore(later, first) && !LabelsRowOf(chain[j], chain[i])) {
                std::string order;
                for (QWidget* w : chain)
                    order += " " + Describe(w);
                return ::testing::AssertionFailure()
                       << Describe(chain[j]) << " is laid out before " << Describe(chain[i])
                       << " but Tab reaches it later; Tab order:" << order;
            }
        }
    return ::testing::AssertionSuccess();
}

} // namespace qelta::test
