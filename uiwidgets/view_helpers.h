// What the programs' pages and dialogs share about keyboard order and report lists: the tab order
// set as the controls are laid out, and list columns that fit their view.
#pragma once

#include <initializer_list>
#include <vector>

class QTreeView;
class QWidget;

/// Sets the tab order to the order given (the layout's, top to bottom and left to right); null
/// entries are passed over.
void ChainTabOrder(std::initializer_list<QWidget*> widgets);

/// Keeps a report list's columns at the widths given while the view is wide enough; a narrower
/// view shrinks the columns in proportion, never below their header texts, so short values fit
/// without a horizontal scroll bar. Once the user drags a column the widths are left to the user.
void FitColumnsToView(QTreeView* view, std::vector<int> widths);
