// Hands a freshly made system object to the core inside its wrapper.
#pragma once

#include <memory>
#include <new>

#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

// Wraps `object` (one reference, now owned by the wrapper) into `out`. Should
// the wrapper itself not fit in memory, the reference is given back and the
// call fails the way the system reports a lack of memory. A call that
// claimed success without an object fails too.
template <class Wrapper, class Base, class Interface>
HRESULT wrapInto(Interface* object, std::unique_ptr<Base>& out) {
    if (!object) return E_POINTER;
    Wrapper* wrapper = new (std::nothrow) Wrapper(object);
    if (!wrapper) {
        object->Release();
        return E_OUTOFMEMORY;
    }
    out.reset(wrapper);
    return S_OK;
}

}  // namespace ostrel::platform::win32
