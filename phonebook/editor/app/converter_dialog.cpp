#include "phonebook/editor/app/converter_dialog.h"

#include "uiwidgets/control_name.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CDConverter::CDConverter(CDConverterLogic& logic, QWidget* parent) : QDialog(parent), m_Logic(logic)
{
    setObjectName(ControlName(logic.DialogId()));
    setWindowTitle(QtText(logic.Caption()));
    m_pList = Named(new QListWidget(this), IDC_CONVERTER_LIST);
    // The logic keeps its converters sorted by display name; row i is converter i.
    for (const ConverterInfo& info : logic.Converters())
        m_pList->addItem(QtText(info.strDisplayName));
    auto* text = Named(new QLabel(QtText(logic.Text()), this), IDC_CONVERTER_TEXT);
    text->setWordWrap(true);
    auto* action = Named(new QPushButton(QtText(logic.ActionText()), this), logic.ActionId());
    auto* close = Named(new QPushButton(QtText(logic.CloseText()), this), IDC_CONVERTER_CLOSE);
    action->setDefault(true);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(action);
    buttons->addWidget(close);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_pList, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(text);
    connect(action, &QPushButton::clicked, this, &CDConverter::Convert);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CDConverter::Convert);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CDConverter::Convert()
{
    if (!m_pList->currentItem() || !m_pList->currentItem()->isSelected())
        return;
    m_Logic.Convert(m_pList->currentRow());
}

ConverterOutcome RunConverterDialog(ConverterKind kind, const std::string& strBookPath,
                                    platform::com::Ptr<IBookmanagerTool> book, IPrompter& prompter,
                                    IProgressRunner& progress, IConversionGuard& guard, QWidget* parent)
{
    CDConverterLogic logic(kind, strBookPath, std::move(book), prompter, progress, &guard);
    logic.Init();
    CDConverter dialog(logic, parent);
    dialog.exec();
    return {logic.Succeeded(), logic.Failed()};
}
