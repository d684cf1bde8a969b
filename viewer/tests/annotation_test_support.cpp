#include "viewer/tests/annotation_test_support.h"

#include "imaging/page_qimage.h"

namespace viewer_test {

namespace {

// What the document is left with when a test's layer and record go.
IAnnotationLayer noLayer;
IUndoRecord noUndo;

} // namespace

FakeAnnotationView::FakeAnnotationView(int pages, int width, int height)
    : document(app, prompter, frame, pageClipboard)
{
    state.SetEditingAllowed(1);
    document.SetViews(&thumbs, this);
    AddPages(pages, width, height);
    calls.clear();
    thumbs.calls.clear();
}

FakeAnnotationView::~FakeAnnotationView()
{
    document.SetAnnotationLayer(&noLayer);
    document.SetUndoRecord(&noUndo);
    document.SetViews(nullptr, nullptr);
}

void FakeAnnotationView::AddPages(int count, int width, int height)
{
    QImage blank(width, height, QImage::Format_Mono);
    blank.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    blank.fill(0);
    for (int i = 0; i < count; ++i) {
        const IKHANDLE page = qelta::imaging::pageOfImage(blank, kPageDpi);
        EXPECT_NE(page, IKHANDLE{0});
        document.InsertPageAt(document.PageCount(), page);
    }
    document.PagesChanged();
}

QImage FakeAnnotationView::PageBitmap(int index) const
{
    return document.Pages().at(static_cast<size_t>(index))->Bitmap();
}

std::vector<std::string> FakeAnnotationView::StatusTexts(int pane) const
{
    std::vector<std::string> texts;
    for (const auto& [p, text] : status)
        if (p == pane)
            texts.push_back(text);
    return texts;
}

CAnnotationItem makeItem(int page, int kind, gdi::RECT rect, int pageWidth, int pageHeight)
{
    CAnnotationItem item;
    item.page = page;
    item.kind = kind;
    item.width = 1;
    item.rect = rect;
    item.x1 = rect.left;
    item.y1 = rect.top;
    item.x2 = rect.right;
    item.y2 = rect.bottom;
    if (kind == kAnnotFreehand)
        item.points = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    if (IsTextKind(kind))
        item.text = "text";
    item.pageWidth = pageWidth;
    item.pageHeight = pageHeight;
    return item;
}

AnnotationSetup::AnnotationSetup(int pages, int width, int height) : view(pages, width, height), layer(view, undo)
{
    undo.Bind(&view, &layer);
    view.document.SetAnnotationLayer(&layer);
    view.document.SetUndoRecord(&undo);
}

AnnotationSetup::~AnnotationSetup()
{
    view.document.SetAnnotationLayer(&noLayer);
    view.document.SetUndoRecord(&noUndo);
    undo.Bind(nullptr, nullptr);
}

int AnnotationSetup::Add(const CAnnotationItem& item)
{
    return layer.Append(std::make_unique<CAnnotationItem>(item));
}

} // namespace viewer_test
