// Media: the component library the display and stream objects come from,
// the display objects (screen, off-screen surface, clipper) and the
// multimedia streams that decode clips into them.
//
// Every call runs on the one user-interface thread.
#pragma once

#include <memory>

#include "platform/DirectDraw.h"
#include "platform/MultiMediaStream.h"
#include "platform/Types.h"

namespace ostrel::platform {

class Media {
public:
    virtual ~Media() = default;

    // Component library: started once before the display objects are made,
    // shut down once at the end of the run.
    virtual Status coInitialize() = 0;
    virtual void coUninitialize() = 0;

    virtual Status createDirectDrawFactory(std::unique_ptr<DirectDrawFactory>& factory) = 0;
    virtual Status createMultiMediaStream(std::unique_ptr<MultiMediaStream>& stream) = 0;
};

}  // namespace ostrel::platform
