// What the programs' pages and dialogs share about keyboard order, report lists, sheet pages and
// pictures: the tab order set as the controls are laid out, list columns that fit their view, a page
// that reads its settings when first shown, and the pictures of the current language's resources.
#pragma once

#include "common/resource_module.h"

#include <QPixmap>

class QDialog;
class QDialogButtonBox;

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QTabWidget;
class QTreeView;
class QWidget;

/// Sets the tab order to the order given (the layout's, top to bottom and left to right); null
/// entries are passed over.
void ChainTabOrder(std::initializer_list<QWidget*> widgets);

/// Keeps a report list's columns at the widths given while the view is wide enough; a narrower
/// view shrinks the columns in proportion, never below their header texts, so short values fit
/// without a horizontal scroll bar. Once the user drags a column the widths are left to the user.
void FitColumnsToView(QTreeView* view, std::vector<int> widths);

/// Calls init once, when page first becomes the current page of tabs (at once when it already is), as
/// a property sheet initialises a page when it is first shown; a sheet applies only such pages.
void InitWhenFirstShown(QTabWidget* tabs, QWidget* page, std::function<void()> init);

/// Gives a window the frame of a dialog: a title bar with its system menu and close button, and no
/// minimise or maximise button, whether it has an owner or not (a message box may have none).
void SetDialogFrame(QWidget* window);

/// A dialog's OK and Cancel buttons, named by their ids 1 and 2, accepting and rejecting the dialog.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

/// A picture of the program's resources (QELTA_RESOURCE_ICON or _BITMAP, from the language module
/// or the program's own tables); null when there is none.
QPixmap LoadResourcePicture(uint32_t nKind, uint32_t nId);

/// The face of a window's font (else of the application's); empty when neither is known.
std::string WidgetFontFace(const QWidget& widget);

/// Gives the focus to the first field of a page in its Tab order that can take it (enabled, shown
/// with the page); false when none can.
bool FocusFirstField(QWidget* page);
