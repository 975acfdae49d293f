// All state of the running bridge, in one place: the window model, the
// form-level variables and the Logger32 link's module state. Every handler
// of every subsystem works on one Station.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "window/form.h"

namespace linkwell::window {

// The text a Boolean False becomes when it is stored in a String.
inline constexpr std::u16string_view kFalseText = u"False";

// Form-level variables of the bridge window. Strings start empty, Booleans
// False, the object as nothing and MixWIsLoaded as Empty.
struct FormVars {
    std::unique_ptr<platform::Automation> MixW;
    // Empty (nullopt), or the Integer 1 or 0. Every test treats Empty as 0.
    std::optional<std::int16_t> MixWIsLoaded;
    Text DX_SPOT;
    Text DX_SPOT1;
    Text QsoRecord;
    Text LastMode;
    Text LastFreq;
    Text LastCall;
    Text LastQth;
    Text LastName;
    Text LastNotes;
    Text LastRstRcvd;
    Text LastIota;
    Text LastLocator;
    Text LastQslManager;
    bool FieldLinksActive = false;
    bool BridgeStarted = false;
    bool SidebandToggle = false;
    bool Logger32HasControl = false;
    Text TuneFreq;
    Text IncomingCall;
    Text IncomingMode;
    Text IncomingRstSent;
    Text IncomingRstRcvd;
    Text IncomingName;

    [[nodiscard]] bool MixWAttached() const { return MixWIsLoaded.value_or(0) != 0; }
};

// Module state of the Logger32 link; all 0 when the program starts.
struct Module1 {
    WindowHandle OwnWindow;
    platform::MessageId Logger32Message = 0;
    WindowHandle Logger32Window;
    platform::WindowProc PreviousWindowProc;
    std::int16_t SearchInterval = 0;
    std::int16_t RetryInterval = 0;
    WindowHandle Logger32TextWindow;
};

struct Station {
    Station(platform::Platform& platform, FormView& view) : os(platform), form(platform, view) {}

    platform::Platform& os;
    Form form;
    FormVars vars;
    Module1 link;
};

}  // namespace linkwell::window
