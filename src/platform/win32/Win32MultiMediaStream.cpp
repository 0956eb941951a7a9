#include "platform/win32/Win32MultiMediaStream.h"

#include "platform/win32/Guids.h"
#include "platform/win32/Win32DirectDraw.h"
#include "platform/win32/Win32Wrap.h"

namespace ostrel::platform::win32 {

namespace {

const GUID& purposeId(MediaPurpose purpose) {
    return purpose == MediaPurpose::PrimaryVideo ? kMspidPrimaryVideo : kMspidPrimaryAudio;
}

// The stream takes paths as UTF-16 in a buffer of this many units.
constexpr int kWidePathUnits = 260;

}  // namespace

Status Win32StreamSample::update(std::uint32_t flags) {
    // Synchronous: no event, no completion routine, no context.
    return sample_->Update(flags, nullptr, nullptr, 0);
}

Status Win32DirectDrawMediaStream::getFormat(SurfaceDesc& desc) {
    if (desc.size != kSurfaceDescSize) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC system = toSystemDesc(SurfaceDesc{});
    // No palette, no desired format, no flags wanted back.
    HRESULT result = stream_->GetFormat(&system, nullptr, nullptr, nullptr);
    if (SUCCEEDED(result)) fromSystemDesc(system, desc);
    return result;
}

Status Win32DirectDrawMediaStream::createSample(DirectDrawSurface* surface, const Rect& rect,
                                                std::uint32_t flags,
                                                std::unique_ptr<StreamSample>& sample) {
    RECT systemRect = toRect(rect);
    IDirectDrawStreamSample* made = nullptr;
    HRESULT result = stream_->CreateSample(systemSurface(surface), &systemRect, flags, &made);
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32StreamSample>(made, sample);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32MediaStream::queryDirectDrawMediaStream(
    std::unique_ptr<DirectDrawMediaStream>& stream) {
    IDirectDrawMediaStream* made = nullptr;
    HRESULT result =
        stream_->QueryInterface(kIidDirectDrawMediaStream, reinterpret_cast<void**>(&made));
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDrawMediaStream>(made, stream);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32MultiMediaStream::initialize(std::uint32_t streamType, std::uint32_t flags) {
    // No filter graph: the stream builds its own.
    return stream_->Initialize(static_cast<STREAM_TYPE>(streamType), flags, nullptr);
}

Status Win32MultiMediaStream::addMediaStream(DirectDraw* directDraw, MediaPurpose purpose,
                                             std::uint32_t flags) {
    IUnknown* object = systemDirectDraw(directDraw);
    return stream_->AddMediaStream(object, &purposeId(purpose), flags, nullptr);
}

Status Win32MultiMediaStream::openFile(const char* path, std::uint32_t flags) {
    WCHAR widePath[kWidePathUnits] = {};
    // The conversion's result is not looked at: a path that does not convert
    // leaves a text the stream cannot open, which it then reports.
    MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kWidePathUnits);
    widePath[kWidePathUnits - 1] = 0;
    return stream_->OpenFile(widePath, flags);
}

Status Win32MultiMediaStream::getMediaStream(MediaPurpose purpose,
                                             std::unique_ptr<MediaStream>& stream) {
    IMediaStream* made = nullptr;
    HRESULT result = stream_->GetMediaStream(purposeId(purpose), &made);
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32MediaStream>(made, stream);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32MultiMediaStream::getDuration(StreamTime& duration) {
    STREAM_TIME value = 0;
    HRESULT result = stream_->GetDuration(&value);
    if (SUCCEEDED(result)) duration = value;
    return result;
}

Status Win32MultiMediaStream::getTime(StreamTime& time) {
    STREAM_TIME value = 0;
    HRESULT result = stream_->GetTime(&value);
    if (SUCCEEDED(result)) time = value;
    return result;
}

Status Win32MultiMediaStream::seek(StreamTime time) {
    return stream_->Seek(time);
}

Status Win32MultiMediaStream::setState(StreamState state) {
    return stream_->SetState(static_cast<STREAM_STATE>(state));
}

}  // namespace ostrel::platform::win32
