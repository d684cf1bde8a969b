#include "cover/editor/print_texts.h"

#include <algorithm>

namespace cvr {

CMemoTextGuard::CMemoTextGuard(CtqHeaderDoc& document) : m_Doc(document)
{
    for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i) {
        CtqRect* object = m_Doc.m_objects.GetAt(i);
        if (dynamic_cast<CtqMemoRect*>(object)) {
            m_Saved.emplace_back(object, object->GetText());
            object->SetText({});
        }
    }
}

CMemoTextGuard::~CMemoTextGuard()
{
    Restore();
}

void CMemoTextGuard::Restore()
{
    for (auto& [object, text] : m_Saved)
        for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i)
            if (m_Doc.m_objects.GetAt(i) == object)
                object->SetText(text);
    m_Saved.clear();
}

int PrintDrawingDpi(int printerDpi)
{
    return std::clamp(printerDpi, 1, 300);
}

} // namespace cvr
