#include "resultmonitor/app/settings_sheet.h"

#include "common/resource_locale.h"
#include "resultmonitor/result_texts.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/control_text.h"
#include "uiwidgets/view_helpers.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The group and label texts without controls of their own.
constexpr int kTextViewPosition = 1, kTextViewInterval = 2, kTextMilliSecond = 3, kTextMessageType = 1;

} // namespace

CViewSettingPage::CViewSettingPage(IMonitorSettings& settings, std::function<void()> changed, QWidget* parent)
    : QWidget(parent), m_logic(settings), m_Changed(std::move(changed))
{
    constexpr int d = IDD_VIEW_WINDOW_SETTING;
    setObjectName(ControlName(d));

    auto* position = new QGroupBox(ControlText(d, kTextViewPosition));
    auto* positionGrid = new QGridLayout(position);
    for (int i = 0; i < 4; ++i) {
        m_pPositions[i] = Named(new QRadioButton(ControlText(d, IDC_POSITION_TOP_LEFT + i)), IDC_POSITION_TOP_LEFT + i);
        m_pPictures[i] = Named(new QLabel, IDC_PICTURE_TOP_LEFT + i);
        m_pPictures[i]->setFixedSize(40, 30);
        // Top corners in the first rows, left corners in the first column.
        const int row = (i / 2) * 2, column = i % 2;
        positionGrid->addWidget(m_pPictures[i], row, column, Qt::AlignHCenter);
        positionGrid->addWidget(m_pPositions[i], row + 1, column);
        connect(m_pPositions[i], &QRadioButton::clicked, this, [this, i] {
            m_logic.OnPositionClicked(IDC_POSITION_TOP_LEFT + i);
            Refresh();
            m_Changed();
        });
    }

    auto* interval = new QGroupBox(ControlText(d, kTextViewInterval));
    auto* intervalGrid = new QGridLayout(interval);
    m_pAnimation = Named(new QCheckBox(ControlText(d, IDC_ENABLE_ANIMATION)), IDC_ENABLE_ANIMATION);
    m_pSlider = Named(new QSlider(Qt::Horizontal), IDC_DISPLAY_TIME_SLIDER);
    m_pSlider->setRange(kDisplayTimeSliderMin, kDisplayTimeSliderMax);
    m_pSlider->setTickInterval(kDisplayTimeSliderTick);
    m_pSlider->setTickPosition(QSlider::TicksBelow);
    m_pSlider->setPageStep(kDisplayTimeSliderTick);
    auto* sliderLabel = new QLabel(ControlText(d, IDC_DISPLAY_TIME_SLIDER));
    sliderLabel->setBuddy(m_pSlider);
    m_pTime = Named(new QLineEdit, IDC_DISPLAY_TIME_EDIT);
    m_pTime->setReadOnly(true);
    m_pTime->setFocusPolicy(Qt::NoFocus);
    m_pTime->setMaximumWidth(70);
    intervalGrid->addWidget(m_pAnimation, 0, 0, 1, 3);
    intervalGrid->addWidget(sliderLabel, 1, 0);
    intervalGrid->addWidget(m_pSlider, 1, 1, 1, 2);
    intervalGrid->addWidget(m_pTime, 2, 1, Qt::AlignRight);
    intervalGrid->addWidget(new QLabel(ControlText(d, kTextMilliSecond)), 2, 2);
    m_pSound = Named(new QCheckBox(ControlText(d, IDC_PLAY_SOUND)), IDC_PLAY_SOUND);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(position);
    layout->addWidget(interval);
    layout->addWidget(m_pSound);
    layout->addStretch();

    connect(m_pAnimation, &QCheckBox::clicked, this, [this](bool on) {
        m_logic.OnAnimationClicked(on);
        m_Changed();
    });
    connect(m_pSound, &QCheckBox::clicked, this, [this](bool on) {
        m_logic.OnSoundClicked(on);
        m_Changed();
    });
    connect(m_pSlider, &QSlider::valueChanged, this, [this](int value) {
        m_logic.OnSliderMoved(value);
        m_pTime->setText(QtText(m_logic.DisplayTimeText()));
        m_Changed();
    });

    ChainTabOrder({m_pPositions[0], m_pPositions[1], m_pPositions[2], m_pPositions[3], m_pAnimation, m_pSlider, m_pSound});
}

void CViewSettingPage::Init()
{
    m_logic.OnInitDialog();
    m_pAnimation->setChecked(m_logic.GetAnimation());
    m_pSound->setChecked(m_logic.GetSound());
    {
        const QSignalBlocker quiet(m_pSlider);
        m_pSlider->setValue(m_logic.SliderPosition());
    }
    m_pTime->setText(QtText(m_logic.DisplayTimeText()));
    Refresh();
}

void CViewSettingPage::Refresh()
{
    m_pPositions[m_logic.CheckedPositionControl() - IDC_POSITION_TOP_LEFT]->setChecked(true);
    for (int i = 0; i < 4; ++i)
        m_pPictures[i]->setPixmap(LoadResourcePicture(QELTA_RESOURCE_ICON, m_logic.PictureIcon(IDC_PICTURE_TOP_LEFT + i)));
}

void CViewSettingPage::Apply()
{
    m_logic.OnApply();
}

CMessageTypePage::CMessageTypePage(IMonitorSettings& settings, std::function<void()> changed, QWidget* parent)
    : QWidget(parent), m_logic(settings)
{
    constexpr int d = IDD_MESSAGE_TYPE_SETTING;
    setObjectName(ControlName(d));
    auto* group = new QGroupBox(ControlText(d, kTextMessageType));
    auto* boxes = new QVBoxLayout(group);
    std::vector<QWidget*> order;
    for (const int id : {IDC_SHOW_SUCCESS, IDC_SHOW_ERROR, IDC_SHOW_CANCEL, IDC_NO_RESERVATION_ALERT}) {
        auto* box = Named(new QCheckBox(ControlText(d, id)), id);
        boxes->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, id, changed](bool on) {
            m_logic.OnCheckClicked(id, on);
            changed();
        });
        order.push_back(box);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    ChainTabOrder({order[0], order[1], order[2], order[3]});
}

void CMessageTypePage::Init()
{
    m_logic.OnInitDialog();
    for (const int id : {IDC_SHOW_SUCCESS, IDC_SHOW_ERROR, IDC_SHOW_CANCEL, IDC_NO_RESERVATION_ALERT})
        findChild<QCheckBox*>(ControlName(id))->setChecked(m_logic.IsChecked(id));
}

void CMessageTypePage::Apply()
{
    m_logic.OnApply();
}

CSettingsSheet::CSettingsSheet(IMonitorSettings& settings, IPrompter& prompter, HelpOpener opener, QWidget* parent)
    : QDialog(parent), m_Prompter(prompter), m_Opener(std::move(opener))
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QtText(LoadResourceString(IDS_PROPERTY)));
    auto changed = [this] { m_pApply->setEnabled(true); };
    m_pTabs = new QTabWidget;
    m_pView = new CViewSettingPage(settings, changed);
    m_pMessage = new CMessageTypePage(settings, changed);
    m_pTabs->addTab(m_pView, ControlText(IDD_VIEW_WINDOW_SETTING, 0));
    m_pTabs->addTab(m_pMessage, ControlText(IDD_MESSAGE_TYPE_SETTING, 0));
    // A page reads its settings when it is first shown, and only such a page is stored.
    InitWhenFirstShown(m_pTabs, m_pView, [this] { m_pView->Init(); });
    InitWhenFirstShown(m_pTabs, m_pMessage, [this] { m_pMessage->Init(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    m_pApply = buttons->button(QDialogButtonBox::Apply);
    m_pApply->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        ApplyPages();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pApply, &QAbstractButton::clicked, this, &CSettingsSheet::ApplyPages);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTabs);
    layout->addWidget(buttons);
    InstallHelpKey(this, [this] { ShowHelp(); });
}

void CSettingsSheet::ApplyPages()
{
    // Only the pages that were shown: one never opened keeps what is stored.
    if (m_pView->Logic().IsInitialized())
        m_pView->Apply();
    if (m_pMessage->Logic().IsInitialized())
        m_pMessage->Apply();
    m_pApply->setEnabled(false);
}

void CSettingsSheet::ShowHelp()
{
    OpenHelp(ProgramHelpFolder(), kMonitorHelpFile, kMonitorHelpTopic, m_Prompter, {"", Utf8Text(windowTitle())}, m_Opener);
}
