#include "viewer/annotation_drawing.h"

namespace viewer {

void DrawAnnotationsOnScreen(QPainter&, const CAnnotationList&, int, int, const CScreenFrame&, const QRect&) {}

bool BurnInAnnotations(QImage&, const CAnnotationList&, int) { return false; }

QImage AnnotationPicture(const CAnnotationItem&) { return {}; }

QImage TurnBitmap(const QImage&, int) { return {}; }

gdi::RECT FitToPrinter(int, int, int, int, const gdi::RECT& rect) { return rect; }

void BandedPrint(QPainter&, int, int, int, int, const QImage&, int) {}

void MirrorRows(unsigned char*, const unsigned char*, int, int, int) {}

std::string FileNameOfPath(const std::string& path) { return path; }

} // namespace viewer
