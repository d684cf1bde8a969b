#include "uiwidgets/qt_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

#include <algorithm>
#include <cmath>

int CQtPrompter::MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags)
{
    QMessageBox box;
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

std::optional<std::string> CQtPrompter::OpenFileChoice(const std::string& strTitle, const std::string& strFilter,
                                                       const std::string& strStart)
{
    const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(strTitle),
                                                      QString::fromStdString(strStart), QString::fromStdString(strFilter));
    if (file.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(file).toStdString();
}

std::optional<std::string> CQtPrompter::SaveFileChoice(const std::string& strTitle, const std::string& strFilter,
                                                       const std::string& strStart)
{
    // The dialog itself asks before an existing file is replaced.
    const QString file = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString::fromStdString(strTitle),
                                                      QString::fromStdString(strStart), QString::fromStdString(strFilter));
    if (file.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(file).toStdString();
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
