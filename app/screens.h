// The four screens (intro, main, bonus, end): what each draws in a frame,
// where the mouse reacts, how they follow each other, and what Escape does.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

// The unit's state, set every frame on the main screen.
struct ScreensState {
  // 0, 1 or 2: the column group of the playing main track.
  int32_t HighlightGroup = 0;
  // The time at which "gui.ife" is drawn: the hovered button's, or 0.
  int32_t HoverTime = 0;
};
extern ScreensState Screens;
extern const char* const ColumnHeadings[3];

void DrawIntroScreen(void);
void DrawMainScreen(void);
void DrawBonusScreen(void);
void DrawEndScreen(void);

// The change to the main screen at the end of the intro (or by Escape on it):
// track 0 from its beginning, the first photo for 10 seconds.
void EnterMainScreen(void);
void EscapeNothing(void);
void EscapeQuit(void);

// The texts of the track table on the screens, with the rows' reaction to
// the mouse: the main screen's three-column list and its now-playing lines,
// and the bonus screen's nine rows.
void DrawTrackList(void);
void DrawNowPlaying(void);
void DrawBonusList(void);

// The group of a main track: 0 for 0-2, 1 for 3-10, 2 for 11-18.
int32_t TrackGroup(int32_t track);

// The main screen's buttons, in the order they are tested.
struct ScreenButton {
  int32_t left, right, bottom, top;  // exclusive bounds in the drawing space
  int32_t hoverTime;
  void (*action)(void);
};
extern const ScreenButton MainButtons[6];
bool ButtonHovered(const ScreenButton& button, int32_t x, int32_t y);
