// The annotation model: the clipboard block, the undo record and the layer's list.
#include "viewer/tests/annotation_test_support.h"

namespace viewer_test {
namespace {

using ModelTest = AnnotationTest;

TEST_F(ModelTest, TheFakeViewIsTheDocumentsPageView)
{
    EXPECT_EQ(view.document.PageCount(), 5);
    EXPECT_EQ(view.state.GetPageCount(), 5);
    EXPECT_EQ(view.PageBitmap(4).size(), QSize(64, 40));
    view.state.SetCurrentPage(4);
    view.document.RemovePageAt(4);
    view.document.PagesChanged();
    EXPECT_EQ(view.state.GetPageCount(), 4);
    EXPECT_EQ(view.state.GetCurrentPage(), 3);
    EXPECT_EQ(view.calls, std::vector<std::string>{"reinit"});
}

} // namespace
} // namespace viewer_test
