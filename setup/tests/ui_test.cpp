// The setup libraries' own boxes and the printer browser, offscreen: the default boxes answer as
// clicked, the browser gives what was chosen, and both are saved to screenshots/ in the build folder
// ("setup-printer-browser.png", "setup-question.png").
#include "platform/files.h"
#include "setup/printer_browser.h"
#include "setup/setup_core.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs act on the modal widget once it is up.
void WhenModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(50, [act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            WhenModal(act);
            return;
        }
        act(modal);
    });
}

const std::vector<platform::Destination> kQueues{{"Qelta_Fax", "Qelta Driver", "", "Qelta Fax"},
                                                 {"lab", "Generic PCL", "Room 10", ""}};

TEST(SetupUi, BrowserListsQueuesAndNetworkPrintersWithoutQueues)
{
    const setup::CPrinterBrowserLogic logic(kQueues, {"qelta:/QELTA", "socket://192.0.2.7:9100"},
                                            {"socket", "socket://192.0.2.7:9100", "ipp://192.0.2.9/ipp/print", "usb://Qelta/Fax",
                                             "ipp://192.0.2.9/ipp/print"});
    std::vector<std::string> values;
    for (const auto& entry : logic.Entries())
        values.push_back(entry.value);
    EXPECT_EQ(values, (std::vector<std::string>{"Qelta_Fax", "lab", "ipp://192.0.2.9/ipp/print", "usb://Qelta/Fax"}));
    EXPECT_EQ(logic.Entries()[0].label, "Qelta Fax (Qelta_Fax)");
    EXPECT_EQ(logic.Choose(2), "ipp://192.0.2.9/ipp/print");
    EXPECT_EQ(logic.Choose(-1), std::nullopt);
    EXPECT_EQ(logic.Choose(4), std::nullopt);

    WhenModal([](QWidget* modal) {
        modal->findChild<QListWidget*>(setup::kPrinterListName)->setCurrentRow(1);
        modal->findChild<QPushButton*>(ControlName(1))->click();
    });
    EXPECT_EQ(setup::BrowseForPrinter(nullptr, logic), "lab");
    WhenModal([](QWidget* modal) { modal->findChild<QPushButton*>(ControlName(2))->click(); });
    EXPECT_EQ(setup::BrowseForPrinter(nullptr, logic), std::nullopt);
}

TEST(SetupUi, DefaultBoxesAnswerAsClicked)
{
    for (const auto& [button, answer] : {std::pair{QMessageBox::Yes, setup::kAnswerYes}, std::pair{QMessageBox::No, setup::kAnswerNo}}) {
        WhenModal([button](QWidget* modal) {
            EXPECT_FALSE(modal->windowFlags() & Qt::WindowMinMaxButtonsHint);
            EXPECT_TRUE(modal->windowFlags() & Qt::CustomizeWindowHint) << "a dialog's frame, not the default one";
            static_cast<QMessageBox*>(modal)->button(button)->click();
        });
        EXPECT_EQ(setup::ShowBox(nullptr, nullptr, "Qelta Setup", "Remove?", setup::kBoxYesNo | setup::kIconQuestion), answer);
    }
}

TEST(SetupUi, ScreenshotsAreSaved)
{
    ASSERT_TRUE(platform::createDirectories(QELTA_SCREENSHOT_DIR));
    const setup::CPrinterBrowserLogic logic(kQueues, {}, {"ipp://192.0.2.9/ipp/print"});
    std::unique_ptr<QDialog> browser(setup::MakePrinterBrowserDialog(logic, nullptr));
    browser->show();
    std::unique_ptr<QMessageBox> question(setup::MakeMessageBox(
        "Qelta Setup", "Several fax printers are installed.\nAll of them will be removed.\n\nRemove them?",
        setup::kBoxYesNo | setup::kIconQuestion));
    question->show();
    QCoreApplication::processEvents();
    for (const auto& [widget, name] : {std::pair<QWidget*, const char*>{browser.get(), "printer-browser"},
                                       std::pair<QWidget*, const char*>{question.get(), "question"}}) {
        const std::string path = std::string(QELTA_SCREENSHOT_DIR) + "/setup-" + name + ".png";
        EXPECT_TRUE(widget->grab().save(QString::fromStdString(path))) << path;
        EXPECT_TRUE(platform::pathExists(path)) << path;
    }
    EXPECT_EQ(browser->windowTitle().toStdString(), setup::kBrowserTitle);
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(browser.get()));
}

} // namespace
