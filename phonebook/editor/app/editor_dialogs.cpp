#include "phonebook/editor/app/editor_dialogs.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/control_text.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

QIcon EditorIcon(int nId)
{
    QStyle* style = QApplication::style();
    switch (nId) {
    case 141: // the root
    case 142:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case 139: // the favourite folder
    case 140:
        return style->standardIcon(QStyle::SP_DirLinkIcon);
    case 131: // a user folder
    case 134:
        return style->standardIcon(QStyle::SP_DirIcon);
    case 135: // an address
    case 136:
    case 144:
        return style->standardIcon(QStyle::SP_FileIcon);
    case 137: // a group
    case 138:
    case 143:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    default:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    }
}

CDFolderName::CDFolderName(CDFolderNameLogic& logic, QWidget* parent) : QDialog(parent), m_Logic(logic)
{
    setObjectName(ControlName(IDD_RENAME_FOLDER));
    setWindowTitle(ControlText(IDD_RENAME_FOLDER, 0));
    auto* group = new QGroupBox(this);
    auto* icon = new QLabel(group);
    icon->setPixmap(EditorIcon(131).pixmap(32, 32));
    auto* label = new QLabel(ControlText(IDD_RENAME_FOLDER, IDC_FOLDER_NAME), group);
    m_pName = Named(new QLineEdit(QtText(logic.Name()), group), IDC_FOLDER_NAME);
    label->setBuddy(m_pName);
    auto* row = new QHBoxLayout(group);
    row->addWidget(icon);
    auto* fields = new QVBoxLayout;
    fields->addWidget(label);
    fields->addWidget(m_pName);
    row->addLayout(fields, 1);
    auto* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    m_pName->selectAll();
    m_pName->setFocus();
    setMinimumWidth(320);
}

void CDFolderName::accept()
{
    m_Logic.SetName(Utf8Text(m_pName->text()));
    if (m_Logic.Accept())
        QDialog::accept();
}

std::optional<std::string> RunRenameFolder(IPrompter& prompter, const std::string& strName, const FolderNameInUse& inUse,
                                           QWidget* parent)
{
    CDFolderNameLogic logic(prompter, strName, inUse);
    CDFolderName dialog(logic, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return logic.Name();
}

CAboutDlg::CAboutDlg(const std::string& strNotice, QWidget* parent) : QDialog(parent)
{
    setObjectName(ControlName(IDD_ABOUTBOX));
    setWindowTitle(ControlText(IDD_ABOUTBOX, 0));
    auto* icon = new QLabel(this);
    icon->setPixmap(EditorIcon(128).pixmap(32, 32));
    auto* version = new QLabel(ControlText(IDD_ABOUTBOX, kAboutVersionText), this);
    auto* notice = Named(new QLabel(QtText(strNotice), this), IDC_ABOUT_NOTICE);
    notice->setMinimumWidth(260);
    auto* ok = Named(new QPushButton(ControlText(IDD_ABOUTBOX, IDOK), this), IDOK);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(notice);
    auto* row = new QHBoxLayout(this);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    row->addWidget(ok, 0, Qt::AlignTop);
}
