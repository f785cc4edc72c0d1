// The headless back end: windows with a client size, a style, a title and
// messages, but no pixels, no native input and no GL context. Tests post
// their input into the queue; a program without a display can still run
// its window logic.
#include "platform/window_backend.h"

namespace plat::win {

namespace {

bool Create(Window&) { return true; }
void Nothing(Window&) {}
void Show(Window&, bool) {}
void NothingPending() {}

constexpr Backend kHeadless{
    .create = Create,
    .destroy = Nothing,
    .show = Show,
    .raise = Nothing,
    .focus = Nothing,
    .applyTitle = Nothing,
    .applyFrame = Nothing,
    .applyPlacement = Nothing,
    .applyCursor = Nothing,
    .flush = NothingPending,
    .pump = NothingPending,
};

}  // namespace

const Backend& HeadlessBackend() { return kHeadless; }

}  // namespace plat::win
