#include "logger32/link.h"

#include <cstdlib>
#include <string>

namespace linkwell::logger32 {

using window::ControlId;

namespace {

Text Decimal(std::int64_t n) {
    std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end());
}

void StartRotation(Station& s) {
    s.form.Disarm(ControlId::HandshakeTimer);
    s.link.Logger32Message = s.os.RegisterMessage(Text(kMessageNames[0]));
    PostToLogger32(s, code::kConnect, static_cast<LParam>(s.link.OwnWindow.value));
}

}  // namespace

void PostToLogger32(Station& s, WParam code, LParam value) {
    s.os.PostMessage(s.link.Logger32Window, s.link.Logger32Message, code, value);
}

void PostSet(Station& s, const std::array<CodeAndValue, 5>& set) {
    for (const auto& [c, v] : set) PostToLogger32(s, c, v);
}

void SendTextToLogger32(Station& s, const Text& text) {
    s.os.SendText(s.link.Logger32TextWindow, text);
}

void InstallHook(Station& s) {
    s.link.PreviousWindowProc = s.os.SetWindowProc(s.link.OwnWindow, s.os.HookProcedure());
}

void RemoveHook(Station& s) {
    // Putting back a procedure of 0 would leave the window without one.
    if (s.link.PreviousWindowProc.isNull()) return;
    (void)s.os.SetWindowProc(s.link.OwnWindow, s.link.PreviousWindowProc);
}

void ConnectToLogger32(Station& s) {
    s.link.Logger32Window = s.os.FindWindowByTitle(Text(kWindowTitle));
    if (!s.link.Logger32Window.isNull()) {
        StartRotation(s);
    } else {
        s.form.Arm(ControlId::HandshakeTimer, s.link.SearchInterval);
    }
}

void OnHandshakeTick(Station& s) {
    if (s.form.Interval(ControlId::HandshakeTimer) == s.link.SearchInterval) {
        s.link.Logger32Window = s.os.FindWindowByTitle(Text(kWindowTitle));
        if (s.link.Logger32Window.isNull()) return;
        StartRotation(s);
        return;
    }
    // Next-name tick: find the name in use by registering the names again.
    bool matched = false;
    for (std::size_t i = 0; i + 1 < kMessageNames.size(); ++i) {
        if (s.link.Logger32Message == s.os.RegisterMessage(Text(kMessageNames[i]))) {
            s.link.Logger32Message = s.os.RegisterMessage(Text(kMessageNames[i + 1]));
            PostToLogger32(s, code::kConnect, static_cast<LParam>(s.link.OwnWindow.value));
            matched = true;
            break;
        }
    }
    if (!matched && s.link.Logger32Message == s.os.RegisterMessage(Text(kMessageNames[4]))) {
        s.form.Disarm(ControlId::HandshakeTimer);
        s.os.MessageBox(Text(kGiveUpText), Text(kGiveUpTitle));
    }
    s.form.Disarm(ControlId::HandshakeTimer);
}

LResult HookWindowProc(Station& s, WindowHandle window, MessageId msg, WParam wParam,
                       LParam lParam) {
    if (msg != s.link.Logger32Message) {
        return s.os.CallWindowProc(s.link.PreviousWindowProc, window, msg, wParam, lParam);
    }
    const auto value32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(lParam));
    switch (static_cast<std::uint32_t>(wParam)) {
        case code::kAnswer:
            if (value32 != 0) {
                PostToLogger32(s, code::kTextWindowOf, 0);
                PostToLogger32(
                    s, code::kTextWindowOf,
                    static_cast<LParam>(s.form.HandleOf(ControlId::Logger32TextBox).value));
            } else {
                s.form.Arm(ControlId::HandshakeTimer, s.link.RetryInterval);
            }
            break;
        case code::kTextWindow:
            s.link.Logger32TextWindow = WindowHandle{static_cast<std::uint32_t>(lParam)};
            break;
        case code::kFrequency:
            s.form.SetText(ControlId::Logger32FreqBox,
                           KilohertzText(value32, s.os.DecimalSeparator()));
            break;
        case code::kCluster: s.form.SetText(ControlId::ClusterBox, Decimal(value32)); break;
        default: break;
    }
    return 0;
}

void Unload(Station& s) {
    if (!s.vars.Logger32HasControl) PostSet(s, kLogger32TakesControl);
    RemoveHook(s);
    s.os.SendMessageWithReference(s.link.Logger32Window, s.link.Logger32Message, code::kLeaving);
    s.vars.MixW.reset();
    s.os.EndProgram();
}

Text KilohertzText(std::int32_t hertz, const Text& decimalSeparator) {
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(hertz));
    Text out;
    if (hertz < 0) out += u'-';
    if (magnitude >= 1000) out += Decimal(magnitude / 1000);
    out += decimalSeparator;
    const auto thousandths = Decimal(magnitude % 1000);
    out.append(3 - thousandths.size(), u'0');
    out += thousandths;
    return out;
}

}  // namespace linkwell::logger32
