// The class and interface identifiers the player asks the component library
// for, as constant records. The DirectDraw factory has no declaration in the
// compiler's headers, so its interface is declared here as well.
#pragma once

#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

inline constexpr GUID kClsidDirectDrawFactory = {
    0x4FD2A832, 0x86C8, 0x11D0, {0x8F, 0xCA, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr GUID kIidDirectDrawFactory = {
    0x4FD2A833, 0x86C8, 0x11D0, {0x8F, 0xCA, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};

inline constexpr GUID kClsidAMMultiMediaStream = {
    0x49C47CE5, 0x9BA4, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};
inline constexpr GUID kIidAMMultiMediaStream = {
    0xBEBE595C, 0x9A6F, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr GUID kMspidPrimaryVideo = {
    0xA35FF56A, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr GUID kMspidPrimaryAudio = {
    0xA35FF56B, 0x9FDA, 0x11D0, {0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};
inline constexpr GUID kIidDirectDrawMediaStream = {
    0xF4104FCE, 0x9A70, 0x11D0, {0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D}};

// The DirectDraw factory of the DirectDraw extensions: it makes DirectDraw
// objects whose surfaces the multimedia streams can decode into. After the
// three calls of IUnknown come its two methods, in this order.
struct IDirectDrawFactory : public IUnknown {
    // Makes the DirectDraw object of the display `deviceGuid` (null: the
    // default display), at `cooperativeLevel` for `window`.
    virtual HRESULT STDMETHODCALLTYPE CreateDirectDraw(GUID* deviceGuid, HWND window,
                                                       DWORD cooperativeLevel, DWORD reserved,
                                                       IUnknown* outer,
                                                       IDirectDraw** directDraw) = 0;
    virtual HRESULT STDMETHODCALLTYPE DirectDrawEnumerate(LPDDENUMCALLBACKA callback,
                                                          LPVOID context) = 0;
};

}  // namespace ostrel::platform::win32
