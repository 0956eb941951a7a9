#include "ui/Dialogs.h"

#include <algorithm>
#include <cstdio>

#include "playback/Volume.h"
#include "state/PlayerState.h"

namespace ostrel {

using namespace platform;

namespace {

constexpr int kBarMinimum = 0;
constexpr int kBarMaximum = 10000;
constexpr int kLineStep = 10;
constexpr int kVolumeLevels = 8;
// The size the dialogs are centred with: fixed pixel figures of the
// original layout, not measured.
constexpr int kCentringWidth = 300;
constexpr int kSettingsCentringHeight = 255;
constexpr int kAboutCentringHeight = 174;
constexpr const char* kIntroSound = OSTREL_RESOURCE_NAME(IDW_INTRO);

// Puts the dialog's top-left corner so that a dialog of width x height sits
// in the middle of the player's window; stays put when the window is gone.
void centreOnMainWindow(DialogView& dialog, int width, int height) {
    WindowHandle main = windows().findWindow(kWindowClassName, kWindowTitle);
    if (!main) return;
    Rect outer;
    if (!windows().getWindowRect(main, outer)) return;
    // Integer division truncates toward zero, also for a window smaller
    // than the dialog.
    int x = outer.left + (outer.right - outer.left - width) / 2;
    int y = outer.top + (outer.bottom - outer.top - height) / 2;
    dialog.moveTo(x, y);
}

void showItemNumber(DialogView& dialog) {
    char text[16];
    std::snprintf(text, sizeof text, " %d", state.selectedItem);
    dialog.setItemText(IDC_ITEM_NUMBER, text);
}

void applyVolume() {
    state.volumeLevel = state.volumePos * kVolumeLevels / kBarMaximum;
    setVolumeLevel();
}

void initSettings(DialogView& dialog, WindowHandle positionBar, WindowHandle volumeBar) {
    dialog.setScrollRange(positionBar, kBarMinimum, kBarMaximum, false);
    dialog.setScrollRange(volumeBar, kBarMinimum, kBarMaximum, false);
    // A new bar stands at 0 already.
    if (state.trackPos != 0) dialog.setScrollPos(positionBar, state.trackPos, true);
    if (state.volumePos != 0) dialog.setScrollPos(volumeBar, state.volumePos, true);
    state.selectedItem = state.currentItem + 1;
    showItemNumber(dialog);
    centreOnMainWindow(dialog, kCentringWidth, kSettingsCentringHeight);
}

void previousItem(DialogView& dialog) {
    if (state.selectedItem > 1)
        --state.selectedItem;
    else if (state.itemCount > 0)
        state.selectedItem = state.itemCount;
    // With an empty list the number stays: there is no item 0 to go to.
    showItemNumber(dialog);
}

void nextItem(DialogView& dialog) {
    if (state.selectedItem < state.itemCount)
        ++state.selectedItem;
    else
        state.selectedItem = 1;
    showItemNumber(dialog);
}

void scrollBar(DialogView& dialog, WindowHandle bar, bool isVolume, std::uint32_t code, int thumb) {
    std::int32_t& value = isVolume ? state.volumePos : state.trackPos;
    switch (code) {
        case kSbLineLeft:
            if (value <= kBarMinimum) return;
            value = std::max(value - kLineStep, kBarMinimum);
            dialog.setScrollPos(bar, value, true);
            break;
        case kSbLineRight:
            if (value >= kBarMaximum) return;
            value = std::min(value + kLineStep, kBarMaximum);
            dialog.setScrollPos(bar, value, true);
            break;
        case kSbThumbPosition:
            value = dialog.getScrollPos(bar);
            break;
        case kSbThumbTrack:
            // The bar follows the thumb; the value catches up on release.
            dialog.setScrollPos(bar, thumb, true);
            return;
        default:
            // Page steps and the rest change nothing.
            return;
    }
    if (isVolume) applyVolume();
}

}  // namespace

bool settingsDialogProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam lParam) {
    WindowHandle positionBar = dialog.item(IDC_POSITION_BAR);
    WindowHandle volumeBar = dialog.item(IDC_VOLUME_BAR);
    switch (message) {
        case kWmInitDialog:
            initSettings(dialog, positionBar, volumeBar);
            return true;
        case kWmCommand:
            switch (low16(wParam)) {
                case IDOK:
                    dialog.endDialog(1);
                    return true;
                case IDC_ITEM_PREV:
                    previousItem(dialog);
                    return false;
                case IDC_ITEM_NEXT:
                    nextItem(dialog);
                    return false;
                default:
                    // Cancel, Escape and the close box leave the dialog open.
                    return false;
            }
        case kWmHScroll: {
            auto bar = reinterpret_cast<WindowHandle>(lParam);
            scrollBar(dialog, bar, bar == volumeBar, low16(wParam), high16(wParam));
            return false;
        }
        default:
            return false;
    }
}

bool aboutDialogProc(DialogView& dialog, std::uint32_t message, WParam wParam, LParam) {
    switch (message) {
        case kWmInitDialog:
            dialog.makeHyperlink(IDC_LINK, kMakerUrl);
            dialog.setItemText(IDC_VERSION, state.versionText);
            centreOnMainWindow(dialog, kCentringWidth, kAboutCentringHeight);
            // The intro plays on by itself; closing the dialog does not cut it.
            if (state.soundOn != 0) sound().playSound(kIntroSound, kSndResource | kSndAsync);
            return true;
        case kWmCommand:
            if (low16(wParam) != IDOK) return false;
            dialog.endDialog(1);
            return true;
        default:
            // The picture is drawn by the platform's dialog window.
            return false;
    }
}

}  // namespace ostrel
