#include "app/screens.h"

#include "app/appshell.h"
#include "app/glyphs.h"
#include "app/musicdisk.h"
#include "app/playback.h"
#include "app/slides.h"
#include "framework/base/time.h"
#include "units/glunit.h"
#include "units/random.h"

using namespace qgl;

ScreensState Screens;
// The artists whose pieces the three columns' remixes are of.
const char* const ColumnHeadings[3] = {"morrowkin", "arbolt", "quellane"};

namespace {

// --- drawing helpers -------------------------------------------------------------------------

void Colour255(float r, float g, float b, float a = 255) { glColor4f(r / 255, g / 255, b / 255, a / 255); }

void AlphaBlending(void) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void AdditiveBlending(void) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
}

void Rectangle(float left, float bottom, float right, float top) {
  glBegin(GL_QUADS);
  glVertex2f(left, bottom);
  glVertex2f(right, bottom);
  glVertex2f(right, top);
  glVertex2f(left, top);
  glEnd();
}

// The bonus screen's band: opaque over x 500-780, fading to nothing at 450
// and 830, in one colour at the given full alpha.
void FadingBand(float grey, float alpha, float bottom, float top) {
  const float xs[4] = {450, 500, 780, 830};
  const float as[4] = {0, alpha, alpha, 0};
  glBegin(GL_QUADS);
  for (int i = 0; i < 3; ++i) {
    glColor4f(grey, grey, grey, as[i]);
    glVertex2f(xs[i], bottom);
    glColor4f(grey, grey, grey, as[i + 1]);
    glVertex2f(xs[i + 1], bottom);
    glVertex2f(xs[i + 1], top);
    glColor4f(grey, grey, grey, as[i]);
    glVertex2f(xs[i], top);
  }
  glEnd();
}

bool MouseIn(float left, float right, float bottom, float top) {
  return Disk.VirtualMouseX > left && Disk.VirtualMouseX < right && Disk.VirtualMouseY > bottom &&
         Disk.VirtualMouseY < top;
}

// A screen change: the new screen's clock starts now, and the rest of this
// frame (the new screen is drawn in it when it comes later in the loop)
// runs on the new clock.
void StartScreen(ScreenNumber screen) {
  Disk.ScreenState = screen;
  Disk.ScreenStart = SYS_TimerGet();
  Disk.ElapsedMs = SYS_TimerGet() - Disk.ScreenStart;
}

// Entering the main screen from the intro or the bonus screen.
void ResumeMainScreen(int32_t track) {
  Playback.CurrentTrack = track;
  PlayRecord(Playback.CurrentTrack);
  StartScreen(kScreenMain);
  SlideShow.GameOverTime = -20000;
  SlideShow.NextSlideTime = Disk.ElapsedMs + 10000;
}

// --- the main screen's parts -------------------------------------------------------------------

struct ListColumn {
  float bandLeft, bandRight;    // the playing row's black band
  float hoverLeft, hoverRight;  // where the mouse selects a row
  float hoverBandLeft, hoverBandRight;
  float textX;
};

constexpr ListColumn kColumns[3] = {
    {43, 233, 42, 233, 43, 233, 50},
    {242, 432, 242, 433, 243, 433, 250},
    {442, 632, 442, 633, 443, 633, 450},
};

void DrawListRow(int32_t record, int32_t column, float y0) {
  const ListColumn& c = kColumns[column];
  const TrackRecord& track = Playback.Tracks[record];
  const bool playing = record == Playback.CurrentTrack;
  const bool lit = Screens.HighlightGroup == column;
  AlphaBlending();
  glDisable(GL_TEXTURE_2D);
  if (playing) {
    glColor4f(0, 0, 0, 1);
    Rectangle(c.bandLeft, y0 - 15, c.bandRight, y0 + 22);
  }
  glColor4f(1, 1, 1, 0.1f);
  if (MouseIn(c.hoverLeft, c.hoverRight, y0 - 15, y0 + 22)) {
    Rectangle(c.hoverBandLeft, y0 - 15, c.hoverBandRight, y0 + 22);
    if (Disk.MouseClicked) {
      Playback.CurrentTrack = record;
      PlayRecord(record);
    }
  }
  glEnable(GL_TEXTURE_2D);
  AdditiveBlending();
  if (playing)
    Colour255(245, 226, 173);
  else if (lit)
    glColor4f(1, 1, 1, 1);
  else
    glColor4f(0.1f, 0.1f, 0.1f, 1);
  DrawText16(TrackText(track.Line1), c.textX, y0);
  DrawText16(TrackText(track.Line2), c.textX, y0 - 9);
  if (playing)
    Colour255(245, 226, 173);
  else if (lit)
    Colour255(137, 172, 216);
  else
    glColor4f(0.05372549f, 0.06745098f, 0.08470588f, 1);
  DrawText16(TrackText(track.Line3), c.textX, y0 - 18);
}

}  // namespace

// Only the main tracks are listed: a bonus record that names a column would
// otherwise become the playing main track, which the groups and the shuffle
// order know nothing of.
void DrawTrackList(void) {
  glColor4f(1, 1, 1, 1);
  glEnable(GL_BLEND);
  for (int32_t column = 0; column < 3; ++column) {
    int32_t row = 0;
    for (int32_t record = 0; record < kMainTracks; ++record) {
      if (Playback.Tracks[record].Column != column + 1) continue;
      DrawListRow(record, column, static_cast<float>(600 - 50 * row));
      ++row;
    }
  }
}

void DrawNowPlaying(void) {
  const TrackRecord& track =
      Playback.Tracks[Playback.CurrentTrack >= 0 && Playback.CurrentTrack < kTrackCount ? Playback.CurrentTrack : 0];
  AlphaBlending();
  Colour255(137, 172, 216);
  DrawText16(Playback.ShuffleOn ? "now playing:                           -shuffle-" : "now playing:", 822, 494);
  glColor4f(1, 1, 1, 1);
  DrawText16(TrackText(track.Line1), 822, 480);
  DrawText16(TrackText(track.Line2), 822, 470);
  Colour255(241, 210, 126);
  DrawText16(TrackText(track.Line3), 822, 460);
  glColor4f(1, 1, 1, 1);
  // A stream that could not be made has no position: its time reads 00:00.
  const QWORD position = BASS_ChannelGetPosition(Playback.MusicStream);
  DrawText32(PlayTimeStr(position == static_cast<QWORD>(-1) ? 0 : static_cast<uint32_t>(position)), 1010, 460);
}

namespace {

void BonusButton(void) {
  Playback.CurrentBonus = 0;
  PlayRecord(kFirstBonusRecord);
  StartScreen(kScreenBonus);
}

void EndButton(void) {
  ChangeTrack("end.ogg");
  StartScreen(kScreenEnd);
}

void ShuffleButton(void) { Playback.ShuffleOn = !Playback.ShuffleOn; }

void DrawButtons(void) {
  Screens.HoverTime = 0;
  for (const ScreenButton& button : MainButtons) {
    if (!ButtonHovered(button, Disk.VirtualMouseX, Disk.VirtualMouseY)) continue;
    Screens.HoverTime = button.hoverTime;
    if (Disk.MouseClicked) button.action();
  }
}

// --- the bonus screen's parts ------------------------------------------------------------------

void DrawBonusRow(int32_t row) {
  const int32_t record = kFirstBonusRecord + row;
  const TrackRecord& track = Playback.Tracks[record];
  const bool playing = row == Playback.CurrentBonus;
  const float y0 = static_cast<float>(400 - 32 * row);
  AlphaBlending();
  glDisable(GL_TEXTURE_2D);
  if (playing) FadingBand(0, 1, y0 - 4, y0 + 20);
  if (MouseIn(450, 830, y0 - 4, y0 + 20)) {
    FadingBand(1, 0.1f, y0 - 4, y0 + 20);
    if (Disk.MouseClicked) {
      Playback.CurrentBonus = row;
      PlayRecord(record);
    }
  }
  glEnable(GL_TEXTURE_2D);
  AdditiveBlending();
  if (playing)
    Colour255(245, 226, 173);
  else
    glColor4f(1, 1, 1, 1);
  DrawText16Centered(TrackText(track.Line2), 640, y0);
  if (playing)
    Colour255(245, 226, 173);
  else
    Colour255(137, 172, 216);
  DrawText16Centered(TrackText(track.Line3), 640, y0 - 9);
}

void DrawBackToMain(void) {
  AlphaBlending();
  glDisable(GL_TEXTURE_2D);
  if (MouseIn(450, 830, 98, 116)) {
    FadingBand(1, 0.1f, 98, 116);
    if (Disk.MouseClicked) ResumeMainScreen(Random(kMainTracks));
  }
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  DrawText16Centered("back to main menu", 640, 94);
}

}  // namespace

void DrawBonusList(void) {
  for (int32_t row = 0; row < kBonusTracks; ++row) DrawBonusRow(row);
}

const ScreenButton MainButtons[6] = {
    {1163, 1194, 520, 547, 20, BonusButton},   {1233, 1264, 670, 719, 150, EndButton},
    {1233, 1264, 600, 660, 250, PuzzleButton}, {1233, 1264, 511, 573, 350, ShuffleButton},
    {750, 770, 280, 308, 450, PreviousPhoto},  {1126, 1146, 280, 308, 550, NextPhoto},
};

bool ButtonHovered(const ScreenButton& button, int32_t x, int32_t y) {
  return x > button.left && x < button.right && y > button.bottom && y < button.top;
}

int32_t TrackGroup(int32_t track) { return track < 3 ? 0 : (track < 11 ? 1 : 2); }

void EnterMainScreen(void) { ResumeMainScreen(0); }

void DrawIntroScreen(void) {
  const int32_t e = Disk.ElapsedMs;
  if (e < 8727) ife_render(Disk.LayersPreIntro, static_cast<float>(e / 8.727));
  static const int32_t kStarts[6] = {8727, 17457, 26181, 34908, 43636, INT32_MAX};
  for (int i = 0; i < 5; ++i)
    if (e >= kStarts[i] && e < kStarts[i + 1]) ife_render(Disk.LayersIntro[i], static_cast<float>(e - kStarts[i]));
  if (e >= 52363) ife_render(Disk.LayersBlackFade, static_cast<float>((e - 52363) / 2.0));
  if (e > 54500) EnterMainScreen();
}

void DrawMainScreen(void) {
  const double e = Disk.ElapsedMs;
  ife_render(Disk.LayersMainBkg, 0);
  ife_drawing_space();
  AlphaBlending();
  Colour255(137, 172, 216);
  DrawScroller16(1280, 84, static_cast<float>(e / 16.666666666666668));
  DrawScroller32(1280, 88, static_cast<float>(e / 8.333333333333334));
  Screens.HighlightGroup = TrackGroup(Playback.CurrentTrack);
  ife_render(Disk.LayersHighlight, static_cast<float>(100 * Screens.HighlightGroup));
  DrawSpectrum();
  DrawVolumeBar();
  Colour255(72, 92, 119);
  DrawText16Centered(ColumnHeadings[0], 140, 677);
  DrawText16Centered(ColumnHeadings[1], 339, 677);
  DrawText16Centered(ColumnHeadings[2], 538, 677);
  DrawTrackList();
  if (SlideShow.PuzzleOn)
    DrawPuzzle();
  else
    DrawSlideShow();
  DrawNowPlaying();
  MainTrackEndTest();
  ife_render(Disk.LayersFrame, 0);
  DrawButtons();
  ife_render(Disk.LayersButtons, static_cast<float>(Screens.HoverTime));
}

void DrawBonusScreen(void) {
  ife_render(Disk.LayersBonusBkg, 0);
  ife_drawing_space();
  DrawBonusList();
  DrawBackToMain();
  BonusTrackEndTest();
  DrawSpectrum();
}

void DrawEndScreen(void) {
  ife_render(Disk.LayersEndScroll, 500);
  ife_drawing_space();
  const float s = static_cast<float>(Disk.ElapsedMs / 23);
  AlphaBlending();
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(Disk.ScrollerTexture));
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(128, s);
  glTexCoord2f(1, 0);
  glVertex2f(1152, s);
  glTexCoord2f(1, 1);
  glVertex2f(1152, s - 2048);
  glTexCoord2f(0, 1);
  glVertex2f(128, s - 2048);
  glEnd();
  ife_render(Disk.LayersEndOverlay, static_cast<float>(Disk.ElapsedMs / 55.0));
  if (BASS_ChannelIsActive(Playback.MusicStream) == BASS_ACTIVE_STOPPED) Shell.AppQuit = 1;
}

void EscapeNothing(void) {}

void EscapeQuit(void) { Shell.AppQuit = 1; }
