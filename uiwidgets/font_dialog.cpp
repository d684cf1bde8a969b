#include "uiwidgets/font_dialog.h"

#include "uiwidgets/control_text.h"
#include "uiwidgets/view_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {

const int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// A family as desktop font dialogs name it: without the foundry fontconfig adds where two foundries
// make one family ("C059 [UKWN]").
QString familyName(QString family)
{
    const qsizetype foundry = family.lastIndexOf(QLatin1String(" ["));
    if (foundry > 0 && family.endsWith(QLatin1Char(']')))
        family.truncate(foundry);
    return family;
}

} // namespace

QStringList CCustomFontDlg::FontFamilies()
{
    // As desktop font dialogs list them: each family once, no private fonts.
    QStringList families;
    for (const QString& family : QFontDatabase::families())
        if (!QFontDatabase::isPrivateFamily(family))
            families.push_back(familyName(family));
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    return families;
}

const QColor& CCustomFontDlg::BasicColour(int index)
{
    static const QColor colours[16] = {
        QColor(0, 0, 0),     QColor(128, 0, 0),     QColor(0, 128, 0),   QColor(128, 128, 0),
        QColor(0, 0, 128),   QColor(128, 0, 128),   QColor(0, 128, 128), QColor(128, 128, 128),
        QColor(192, 192, 192), QColor(255, 0, 0),   QColor(0, 255, 0),   QColor(255, 255, 0),
        QColor(0, 0, 255),   QColor(255, 0, 255),   QColor(0, 255, 255), QColor(255, 255, 255),
    };
    return colours[index & 15];
}

CCustomFontDlg::CCustomFontDlg(const gdi::LOGFONTA& font, int pointSizeTenths, QWidget* parent)
    : QDialog(parent), m_Font(font)
{
    setWindowTitle(ControlText(IDD_FONT, 0));
    auto* grid = new QGridLayout;
    m_pFace = Named(new QListWidget(this), IDC_FONT_FACE);
    m_pFace->addItems(FontFamilies());
    m_pStyle = Named(new QListWidget(this), IDC_FONT_STYLE);
    for (const unsigned style : kFontStyleTexts)
        m_pStyle->addItem(QtText(LoadResourceString(style)));
    m_pSize = Named(new QComboBox(this), IDC_FONT_SIZE);
    m_pSize->setEditable(true);
    m_pSize->setMinimumContentsLength(5); // "11.9" and more, beside the arrow
    m_pSize->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pSize->setInsertPolicy(QComboBox::NoInsert);
    for (int size : kSizes)
        m_pSize->addItem(QString::number(size));
    auto* faceLabel = Named(new QLabel(ControlText(IDD_FONT, IDC_FONT_FACE_LABEL), this), IDC_FONT_FACE_LABEL);
    faceLabel->setBuddy(m_pFace);
    auto* styleLabel = Named(new QLabel(ControlText(IDD_FONT, IDC_FONT_STYLE_LABEL), this), IDC_FONT_STYLE_LABEL);
    styleLabel->setBuddy(m_pStyle);
    auto* sizeLabel = Named(new QLabel(ControlText(IDD_FONT, IDC_FONT_SIZE_LABEL), this), IDC_FONT_SIZE_LABEL);
    sizeLabel->setBuddy(m_pSize);
    grid->addWidget(faceLabel, 0, 0);
    grid->addWidget(styleLabel, 0, 1);
    grid->addWidget(sizeLabel, 0, 2);
    grid->addWidget(m_pFace, 1, 0);
    grid->addWidget(m_pStyle, 1, 1);
    grid->addWidget(m_pSize, 1, 2, Qt::AlignTop);

    auto* effects = Named(new QGroupBox(ControlText(IDD_FONT, IDC_FONT_EFFECTS), this), IDC_FONT_EFFECTS);
    auto* effectsLayout = new QVBoxLayout(effects);
    m_pStrikeOut = Named(new QCheckBox(ControlText(IDD_FONT, IDC_FONT_STRIKEOUT), effects), IDC_FONT_STRIKEOUT);
    m_pUnderline = Named(new QCheckBox(ControlText(IDD_FONT, IDC_FONT_UNDERLINE), effects), IDC_FONT_UNDERLINE);
    effectsLayout->addWidget(m_pStrikeOut);
    effectsLayout->addWidget(m_pUnderline);
    m_pColourLabel = Named(new QLabel(ControlText(IDD_FONT, IDC_FONT_COLOUR_LABEL), effects), IDC_FONT_COLOUR_LABEL);
    m_pColour = Named(new QComboBox(effects), IDC_FONT_COLOUR);
    for (int i = 0; i < 16; ++i) {
        QPixmap swatch(24, 12);
        swatch.fill(BasicColour(i));
        m_pColour->addItem(QIcon(swatch), BasicColour(i).name());
    }
    m_pColourLabel->setBuddy(m_pColour);
    effectsLayout->addWidget(m_pColourLabel);
    effectsLayout->addWidget(m_pColour);
    grid->addWidget(effects, 2, 0);

    auto* sampleBox = Named(new QGroupBox(ControlText(IDD_FONT, IDC_FONT_SAMPLE_GROUP), this), IDC_FONT_SAMPLE_GROUP);
    auto* sampleLayout = new QVBoxLayout(sampleBox);
    m_pSample = Named(new QLabel(ControlText(IDD_FONT, IDC_FONT_SAMPLE), sampleBox), IDC_FONT_SAMPLE);
    m_pSample->setAlignment(Qt::AlignCenter);
    m_pSample->setMinimumSize(160, 60);
    sampleLayout->addWidget(m_pSample);
    grid->addWidget(sampleBox, 2, 1, 1, 2);

    auto* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    // The start.
    // A face that is not installed shows as the face that stands in for it, and stays the font's
    // face unless another one is chosen.
    const QString faceName = QString::fromUtf8(font.lfFaceName);
    QList<QListWidgetItem*> face = m_pFace->findItems(faceName, Qt::MatchFixedString);
    const bool standIn = face.isEmpty();
    if (standIn)
        face = m_pFace->findItems(familyName(QFontInfo(QFont(faceName)).family()), Qt::MatchFixedString);
    m_pFace->setCurrentItem(face.isEmpty() ? m_pFace->item(0) : face.front());
    m_nStandInRow = standIn ? m_pFace->currentRow() : -1;
    m_pStyle->setCurrentRow((font.lfItalic ? 1 : 0) + (font.lfWeight >= 600 ? 2 : 0));
    m_pSize->setEditText(pointSizeTenths % 10 ? QString::number(pointSizeTenths / 10.0, 'f', 1)
                                              : QString::number(pointSizeTenths / 10));
    m_pStrikeOut->setChecked(font.lfStrikeOut != 0);
    m_pUnderline->setChecked(font.lfUnderline != 0);
    connect(m_pFace, &QListWidget::currentRowChanged, this, [this] { updateSample(); });
    connect(m_pStyle, &QListWidget::currentRowChanged, this, [this] { updateSample(); });
    connect(m_pSize, &QComboBox::currentTextChanged, this, [this] { updateSample(); });
    connect(m_pStrikeOut, &QCheckBox::toggled, this, [this] { updateSample(); });
    connect(m_pUnderline, &QCheckBox::toggled, this, [this] { updateSample(); });
    connect(m_pColour, &QComboBox::currentIndexChanged, this, [this] { updateSample(); });
    updateSample();
}

void CCustomFontDlg::ShowColours(bool show)
{
    m_pColourLabel->setVisible(show);
    m_pColour->setVisible(show);
}

void CCustomFontDlg::SetColour(QColor colour)
{
    for (int i = 0; i < 16; ++i)
        if (BasicColour(i).rgb() == colour.rgb())
            m_pColour->setCurrentIndex(i);
}

gdi::LOGFONTA CCustomFontDlg::Font() const
{
    gdi::LOGFONTA font = m_Font;
    if (m_pFace->currentItem() && m_pFace->currentRow() != m_nStandInRow) {
        const std::string face = Utf8Text(m_pFace->currentItem()->text());
        if (face.size() < sizeof font.lfFaceName) {
            std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
            std::memcpy(font.lfFaceName, face.data(), face.size());
        }
    }
    const int style = std::max(0, m_pStyle->currentRow());
    font.lfWeight = style >= 2 ? 700 : 400;
    font.lfItalic = (style & 1) ? 1 : 0;
    font.lfUnderline = m_pUnderline->isChecked() ? 1 : 0;
    font.lfStrikeOut = m_pStrikeOut->isChecked() ? 1 : 0;
    return font;
}

int CCustomFontDlg::PointSizeTenths() const
{
    bool ok = false;
    // Sizes up to 1638 points, as font dialogs take them; anything else is no size.
    const double points = m_pSize->currentText().trimmed().toDouble(&ok);
    return ok && points > 0 && points <= 1638 ? static_cast<int>(points * 10 + 0.5) : 0;
}

QColor CCustomFontDlg::Colour() const
{
    return BasicColour(std::max(0, m_pColour->currentIndex()));
}

void CCustomFontDlg::updateSample()
{
    const gdi::LOGFONTA font = Font();
    QFont sample(QString::fromUtf8(font.lfFaceName));
    sample.setBold(font.lfWeight >= 600);
    sample.setItalic(font.lfItalic != 0);
    sample.setUnderline(font.lfUnderline != 0);
    sample.setStrikeOut(font.lfStrikeOut != 0);
    const int tenths = PointSizeTenths();
    if (tenths > 0)
        sample.setPointSizeF(std::min(tenths, 480) / 10.0);
    m_pSample->setFont(sample);
    QPalette palette = m_pSample->palette();
    palette.setColor(QPalette::WindowText, m_pColour->isVisible() || !m_pColour->isHidden() ? Colour() : QColor(Qt::black));
    m_pSample->setPalette(palette);
}
