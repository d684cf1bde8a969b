// The font dialog of the cover sheet editor and the fax image viewer: face, style, size, effects
// and a row of the 16 basic colours, which a caller may hide, under a caption of the caller's.
#pragma once

#include "imaging/device_context.h"

#include <QColor>
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;

/// The dialog's id and its control ids; its texts are the program's (ControlText of IDD_FONT).
enum : int {
    IDD_FONT = 1543,
    IDC_FONT_FACE = 1136, IDC_FONT_STYLE = 1137, IDC_FONT_SIZE = 1138, IDC_FONT_STRIKEOUT = 1040,
    IDC_FONT_UNDERLINE = 1041, IDC_FONT_COLOUR = 1139, IDC_FONT_SAMPLE = 1092,
    IDC_FONT_FACE_LABEL = 1088, IDC_FONT_STYLE_LABEL = 1089, IDC_FONT_SIZE_LABEL = 1090,
    IDC_FONT_COLOUR_LABEL = 1091, IDC_FONT_EFFECTS = 1072, IDC_FONT_SAMPLE_GROUP = 1073,
};
/// The style list's texts: regular, italic, bold, bold italic.
inline constexpr unsigned kFontStyleTexts[] = {64902, 64903, 64904, 64905};

class CCustomFontDlg : public QDialog {
    Q_OBJECT
public:
    /// font: face, weight, italic, underline and strike-out shown at the start; pointSizeTenths:
    /// the size in tenths of a point.
    CCustomFontDlg(const gdi::LOGFONTA& font, int pointSizeTenths, QWidget* parent = nullptr);

    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    /// Shows or hides the colour row (shown at the start).
    void ShowColours(bool show);
    void SetColour(QColor colour);

    /// The choice: the record given with face, weight, italic, underline and strike-out replaced.
    gdi::LOGFONTA Font() const;
    /// The size in tenths of a point; 0 when the size box holds no size.
    int PointSizeTenths() const;
    QColor Colour() const;

    /// The 16 basic colours of the colour row.
    static const QColor& BasicColour(int index);
    /// The font families the face list shows, sorted.
    static QStringList FontFamilies();

private:
    void updateSample();

    gdi::LOGFONTA m_Font;
    int m_nStandInRow = -1; ///< the row shown for a face that is not installed
    QListWidget* m_pFace;
    QListWidget* m_pStyle;
    QComboBox* m_pSize;
    QCheckBox* m_pStrikeOut;
    QCheckBox* m_pUnderline;
    QLabel* m_pColourLabel;
    QComboBox* m_pColour;
    QLabel* m_pSample;
};
