#include "app/form_view.h"

#include "app/child_frame.h"

CFormView::CFormView(CChildFrame* frame, FunctionView kind)
    : wxScrolledWindow(frame, wxID_ANY), m_kind(kind)
{
}
