#include "uiwidgets/qt_prompter.h"

#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

#include <algorithm>
#include <cmath>

int CQtPrompter::MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags)
{
    QMessageBox box;
    SetDialogFrame(&box);
    box.setWindowTitle(QString::fromStdString(strCaption));
    box.setText(QString::fromStdString(strText));
    switch (nFlags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (nFlags & 0x0F) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
    }
}

std::optional<std::string> CQtPrompter::BrowseForFolder(const std::string& strTitle, const std::string& strStart)
{
    const QString start = QString::fromStdString(strStart);
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString::fromStdString(strTitle),
                                                             QDir(start).exists() ? start : QDir::homePath(),
                                                             QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return std::nullopt;
    return folder.toStdString();
}

std::optional<FontChoice> CQtPrompter::ChooseFont(const FontChoice& initial)
{
    QFont font(QString::fromStdString(initial.strFace));
    if (initial.nSize > 0)
        font.setPointSizeF(initial.nSize / 10.0);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(initial.nWeight, 100, 900)));
    bool chosen = false;
    const QFont picked = QFontDialog::getFont(&chosen, font, QApplication::activeWindow());
    if (!chosen)
        return std::nullopt;
    FontChoice choice;
    choice.strFace = picked.family().toStdString();
    choice.nSize = static_cast<int>(std::lround(picked.pointSizeF() * 10));
    choice.nWeight = picked.weight();
    return choice;
}

namespace {

std::function<void(QFileDialog&)>& fileDialogHook()
{
    static std::function<void(QFileDialog&)> hook;
    return hook;
}

void prepareFileDialog(QFileDialog& dialog, const FileQuestion& question)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(QString::fromStdString(question.strTitle));
    dialog.setNameFilters(CQtPrompter::NameFilters(question.strFilter));
    if (!question.strDefaultExtension.empty())
        dialog.setDefaultSuffix(QString::fromStdString(question.strDefaultExtension));
    const QString folder = QString::fromStdString(question.strFolder);
    dialog.setDirectory(!folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath());
}

} // namespace

void CQtPrompter::SetFileDialogHook(std::function<void(QFileDialog&)> hook)
{
    fileDialogHook() = std::move(hook);
}

QStringList CQtPrompter::NameFilters(const std::string& strFilter)
{
    // Pairs of a name and its patterns; the name usually shows the patterns already.
    const QStringList parts = QString::fromStdString(strFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        // The name's own "(*.A,*.B)" gives way to the patterns as Qt reads them.
        QString name = parts[i];
        const qsizetype open = name.lastIndexOf(u'(');
        if (open > 0 && name.endsWith(u')'))
            name = name.left(open).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << name + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return filters;
}

std::optional<std::string> CQtPrompter::GetOpenFileName(FileQuestion& question)
{
    QFileDialog dialog(QApplication::activeWindow());
    prepareFileDialog(dialog, question);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(question.bMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (fileDialogHook())
        fileDialogHook()(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> CQtPrompter::GetSaveFileName(FileQuestion& question)
{
    QFileDialog dialog(QApplication::activeWindow());
    prepareFileDialog(dialog, question);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !question.bConfirmOverwrite);
    QComboBox* list = nullptr;
    if (!question.extraList.empty()) {
        // The extra list goes into a new row under the dialog's own rows.
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* label = new QLabel(QString::fromStdString(question.strExtraLabel), &dialog);
            list = new QComboBox(&dialog);
            Named(list, question.nExtraListId);
            for (const std::string& entry : question.extraList)
                list->addItem(QString::fromStdString(entry));
            list->setCurrentIndex(question.nExtraIndex);
            label->setBuddy(list);
            const int row = grid->rowCount();
            grid->addWidget(label, row, 0);
            grid->addWidget(list, row, 1);
        }
    }
    if (fileDialogHook())
        fileDialogHook()(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    if (list)
        question.nExtraIndex = list->currentIndex();
    return dialog.selectedFiles().front().toStdString();
}
