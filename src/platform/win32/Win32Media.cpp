// Media on Windows: the component library, the DirectDraw factory and the
// multimedia stream, each the system's object behind the seam's wrapper.
#include "platform/win32/Guids.h"
#include "platform/win32/Win32DirectDraw.h"
#include "platform/win32/Win32MultiMediaStream.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Wrap.h"

namespace ostrel::platform::win32 {

// Component library.

Status Win32Media::coInitialize() {
    return CoInitialize(nullptr);
}

void Win32Media::coUninitialize() {
    CoUninitialize();
}

// Display and media objects.

Status Win32Media::createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) {
    IDirectDrawFactory* made = nullptr;
    HRESULT result = CoCreateInstance(kClsidDirectDrawFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidDirectDrawFactory, reinterpret_cast<void**>(&made));
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDrawFactory>(made, factory);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32Media::createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) {
    IAMMultiMediaStream* made = nullptr;
    HRESULT result = CoCreateInstance(kClsidAMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidAMMultiMediaStream, reinterpret_cast<void**>(&made));
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32MultiMediaStream>(made, stream);
    return FAILED(wrapped) ? wrapped : result;
}

}  // namespace ostrel::platform::win32
