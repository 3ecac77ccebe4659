#pragma once

#include "framework/core/Exception.h"
#include "framework/graphics/Canvas.h"

// A handle of 0 means the system could not make the object: raises EOutOfResources with
// the C library's text for the last error, or "Out of system resources" when there is
// none. Any other handle comes back unchanged.
template <typename Handle>
Handle CheckGDIObject(Handle handle)
{
    if (!handle)
        throw EOutOfResources();
    return handle;
}

// A memory device context compatible with the screen, for one operation.
class DeviceContext {
public:
    DeviceContext() : m_handle(CheckGDIObject(m_canvas.Handle())) {}
    TCanvasHandle Handle() const { return m_handle; }
    TCanvas& Canvas() { return m_canvas; }

private:
    TCanvas m_canvas;
    TCanvasHandle m_handle;
};
