// A test driver for the real send wizard program: preloaded (LD_PRELOAD) into an unchanged
// sendwizard, it starts with the program's QApplication and acts as a user on whatever modal window
// is up, found by the control ids the windows carry. It links Qt only, nothing of the suite.
//
//   QELTA_WIZARD_DRIVER         the scenario:
//       send             a typed number, Next (the skip box is ticked), Finish on the Preview page
//       two-separate     two typed numbers, the skip box cleared, broadcast cleared on Set Job
//                        Parameter, Finish on the Preview page (one job for each destination)
//       cancel           Cancel on the first page, answered Yes
//       phonebook-cover  the skip box cleared, a record of the sample phone book taken through
//                        Phonebook..., the sample cover sheet attached, Next to the Preview, Finish
//       envsetup         (the environment setting) "Installed Run" typed as the sender's name, OK
//   QELTA_WIZARD_DRIVER_REPORT  the file written when the program ends: "box <text>" for every
//       message box answered, "loaded <path>" for every file the process mapped, and "done" when the
//       scenario reached its last step (else "stuck <step>").
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QSet>
#include <QTimer>
#include <QTreeWidget>
#include <QWizard>

#include <cstdlib>

namespace {

// The windows and controls the scenarios use, by their ids.
constexpr int kSelectDestinationPage = 107, kCoverPage = 110, kSetParamsPage = 121, kPreviewPage = 111;
constexpr int kFaxNumber = 1008, kAdd = 1015, kDestinations = 1018, kPhonebook = 1060, kSkip = 1117;
constexpr int kAttachCover = 1034, kCoverList = 1027, kBroadcast = 1069;
constexpr int kSelectPhoneBookDialog = 5000, kBookList = 1017;
constexpr int kSelectDestinationDialog = 2000, kAddressList = 1002, kChosenList = 1004, kAddToChosen = 1005;
constexpr int kOk = 1;
constexpr int kHeaderUserName = 1009;
// The names the trial run's state root holds.
const QString kSampleBook = QStringLiteral("Sample");
const QString kSampleRecord = QStringLiteral("Anna Berg");

QString Id(int id) { return QStringLiteral("id%1").arg(id); }

template <typename T>
T* Child(QWidget* window, int id)
{
    return window ? window->findChild<T*>(Id(id)) : nullptr;
}

// A click from the event loop, so a modal window it opens does not run inside the driver's tick.
void Click(QAbstractButton* button)
{
    if (button)
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

class CDriver : public QObject {
public:
    CDriver()
        : m_Scenario(QString::fromLocal8Bit(qgetenv("QELTA_WIZARD_DRIVER"))),
          m_Report(QString::fromLocal8Bit(qgetenv("QELTA_WIZARD_DRIVER_REPORT")))
    {
        connect(&m_Timer, &QTimer::timeout, this, &CDriver::Tick);
        m_Timer.start(50);
    }

    // Notes the files mapped now: the libraries loaded by name come and go with their users.
    void NoteMappedFiles()
    {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray& line : maps.readAll().split('\n')) {
            const int slash = line.indexOf('/');
            if (slash >= 0)
                m_Mapped.insert(QString::fromLocal8Bit(line.mid(slash)));
        }
    }

    void WriteReport()
    {
        NoteMappedFiles();
        if (m_Report.isEmpty())
            return;
        QFile file(m_Report);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        QString text;
        for (const QString& box : m_Boxes)
            text += QStringLiteral("box %1\n").arg(QString(box).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        for (const QString& path : m_Mapped)
            text += QStringLiteral("loaded %1\n").arg(path);
        text += m_bDone ? QStringLiteral("done\n") : QStringLiteral("stuck %1\n").arg(m_nStep);
        file.write(text.toUtf8());
    }

private:
    void Tick()
    {
        if (++m_nTicks % 10 == 0)
            NoteMappedFiles();
        QWidget* active = QApplication::activeModalWidget();
        if (!active)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(active)) {
            if (box->property("answeredByDriver").toBool())
                return;
            box->setProperty("answeredByDriver", true);
            m_Boxes << box->text();
            QAbstractButton* answer = box->button(QMessageBox::Yes);
            Click(answer ? answer : box->button(QMessageBox::Ok));
            return;
        }
        if (!Wizard(active, kPreviewPage))
            m_nPreviewTicks = 0;
        if (m_bDone)
            return;
        if (m_Scenario == QLatin1String("cancel"))
            Cancel(active);
        else if (m_Scenario == QLatin1String("send"))
            Send(active);
        else if (m_Scenario == QLatin1String("two-separate"))
            TwoSeparate(active);
        else if (m_Scenario == QLatin1String("phonebook-cover"))
            PhoneBookAndCover(active);
        else if (m_Scenario == QLatin1String("envsetup"))
            EnvironmentSetting(active);
    }

    void EnvironmentSetting(QWidget* active)
    {
        auto* name = Child<QLineEdit>(active, kHeaderUserName);
        if (!name)
            return;
        name->selectAll();
        name->insert(QStringLiteral("Installed Run")); // as typed: the page hears of it
        Click(Child<QAbstractButton>(active, kOk));
        m_bDone = true;
    }

    // The sheet on that page, once the page takes input (it waits while the printer is asked about).
    QWizard* Wizard(QWidget* active, int page) const
    {
        auto* wizard = qobject_cast<QWizard*>(active);
        return wizard && wizard->currentId() == page && wizard->currentPage()->isEnabled() ? wizard : nullptr;
    }

    void Next(QWizard* wizard)
    {
        QMetaObject::invokeMethod(wizard, &QWizard::next, Qt::QueuedConnection);
        ++m_nStep;
    }

    // Finish once the Preview page has stood for half a second: the page makes its image on a
    // queued call after it shows, and a click queued before that would run inside its progress.
    void Finish(QWizard* wizard)
    {
        if (++m_nPreviewTicks < 10)
            return;
        QAbstractButton* finish = wizard->button(QWizard::FinishButton);
        if (finish->isVisible() && finish->isEnabled()) {
            Click(finish);
            m_bDone = true;
        }
    }

    void Cancel(QWidget* active)
    {
        if (QWizard* wizard = Wizard(active, kSelectDestinationPage)) {
            QMetaObject::invokeMethod(wizard, &QWizard::reject, Qt::QueuedConnection);
            m_bDone = true;
        }
    }

    void Send(QWidget* active)
    {
        if (m_nStep == 0) {
            if (QWizard* wizard = Wizard(active, kSelectDestinationPage)) {
                Child<QLineEdit>(wizard, kFaxNumber)->setText(QStringLiteral("0123456"));
                Click(Child<QAbstractButton>(wizard, kAdd));
                ++m_nStep;
            }
        } else if (m_nStep == 1) {
            QWizard* wizard = Wizard(active, kSelectDestinationPage);
            if (auto* list = Child<QTreeWidget>(wizard, kDestinations); list && list->topLevelItemCount() == 1)
                Next(wizard);
        } else if (QWizard* wizard = Wizard(active, kPreviewPage)) {
            Finish(wizard);
        }
    }

    void TwoSeparate(QWidget* active)
    {
        static const QString numbers[] = {QStringLiteral("0123456"), QStringLiteral("0654321")};
        if (m_nStep < 4) {
            QWizard* wizard = Wizard(active, kSelectDestinationPage);
            auto* list = Child<QTreeWidget>(wizard, kDestinations);
            if (!list)
                return;
            if (m_nStep % 2 == 0) {
                Child<QLineEdit>(wizard, kFaxNumber)->setText(numbers[m_nStep / 2]);
                Click(Child<QAbstractButton>(wizard, kAdd));
                ++m_nStep;
            } else if (list->topLevelItemCount() == (m_nStep + 1) / 2) {
                ++m_nStep;
            }
        } else if (m_nStep == 4) {
            if (QWizard* wizard = Wizard(active, kSelectDestinationPage)) {
                Child<QCheckBox>(wizard, kSkip)->setChecked(false);
                Next(wizard);
            }
        } else if (m_nStep == 5) {
            if (QWizard* wizard = Wizard(active, kCoverPage))
                Next(wizard);
        } else if (m_nStep == 6) {
            if (QWizard* wizard = Wizard(active, kSetParamsPage)) {
                Child<QCheckBox>(wizard, kBroadcast)->setChecked(false);
                Next(wizard);
            }
        } else if (QWizard* wizard = Wizard(active, kPreviewPage)) {
            Finish(wizard);
        }
    }

    // Selects the row whose first column is text; false while it is not listed.
    static bool SelectRow(QWidget* dialog, int listId, const QString& text)
    {
        auto* list = Child<QTreeWidget>(dialog, listId);
        const auto found = list ? list->findItems(text, Qt::MatchExactly, 0) : QList<QTreeWidgetItem*>();
        if (found.isEmpty())
            return false;
        list->setCurrentItem(found.front());
        return true;
    }

    void PhoneBookAndCover(QWidget* active)
    {
        const QString name = active->objectName();
        switch (m_nStep) {
        case 0:
            if (QWizard* wizard = Wizard(active, kSelectDestinationPage)) {
                Child<QCheckBox>(wizard, kSkip)->setChecked(false);
                Click(Child<QAbstractButton>(wizard, kPhonebook));
                ++m_nStep;
            }
            break;
        case 1:
            if (name == Id(kSelectPhoneBookDialog) && SelectRow(active, kBookList, kSampleBook)) {
                Click(Child<QAbstractButton>(active, kOk));
                ++m_nStep;
            }
            break;
        case 2:
            if (name == Id(kSelectDestinationDialog) && SelectRow(active, kAddressList, kSampleRecord)) {
                Click(Child<QAbstractButton>(active, kAddToChosen));
                ++m_nStep;
            }
            break;
        case 3:
            if (auto* chosen = Child<QTreeWidget>(active, kChosenList);
                name == Id(kSelectDestinationDialog) && chosen && chosen->topLevelItemCount() == 1) {
                Click(Child<QAbstractButton>(active, kOk));
                ++m_nStep;
            }
            break;
        case 4: {
            QWizard* wizard = Wizard(active, kSelectDestinationPage);
            if (auto* list = Child<QTreeWidget>(wizard, kDestinations); list && list->topLevelItemCount() == 1)
                Next(wizard);
            break;
        }
        case 5:
            if (QWizard* wizard = Wizard(active, kCoverPage)) {
                Child<QCheckBox>(wizard, kAttachCover)->setChecked(true);
                auto* covers = Child<QListWidget>(wizard, kCoverList);
                if (covers && covers->count() > 0) {
                    if (covers->currentRow() < 0)
                        covers->setCurrentRow(0);
                    Next(wizard);
                }
            }
            break;
        case 6:
            if (QWizard* wizard = Wizard(active, kSetParamsPage))
                Next(wizard);
            break;
        default:
            if (QWizard* wizard = Wizard(active, kPreviewPage))
                Finish(wizard);
            break;
        }
    }

    QString m_Scenario, m_Report;
    QTimer m_Timer;
    int m_nStep = 0, m_nTicks = 0, m_nPreviewTicks = 0;
    bool m_bDone = false;
    QStringList m_Boxes;
    QSet<QString> m_Mapped;
};

CDriver* g_pDriver = nullptr;

void StopDriver()
{
    if (g_pDriver) {
        g_pDriver->WriteReport();
        delete g_pDriver;
        g_pDriver = nullptr;
    }
}

void StartDriver()
{
    if (qgetenv("QELTA_WIZARD_DRIVER").isEmpty() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    g_pDriver = new CDriver;
    qAddPostRoutine(StopDriver);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriver)
