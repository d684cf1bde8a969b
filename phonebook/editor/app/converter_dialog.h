// The Import Tool (DIALOG 144) and Export Tool (DIALOG 1013) dialogs over their logic.
#pragma once

#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/converter_logic.h"

#include <QDialog>

class QListWidget;
class QPushButton;

class CDConverter : public QDialog {
    Q_OBJECT
public:
    /// Lists the logic's converters (the logic has been initialised).
    CDConverter(CDConverterLogic& logic, QWidget* parent = nullptr);
    /// The list of converters.
    QListWidget* List() const { return m_pList; }

private:
    void Convert();

    CDConverterLogic& m_Logic;
    QListWidget* m_pList;
};

/// Runs the dialog of kind over the book, listing the converters the registry names, with guard
/// around each run; the flags it ends with.
ConverterOutcome RunConverterDialog(ConverterKind kind, const std::string& strBookPath,
                                    platform::com::Ptr<IBookmanagerTool> book, IPrompter& prompter,
                                    IProgressRunner& progress, IConversionGuard& guard, QWidget* parent);
