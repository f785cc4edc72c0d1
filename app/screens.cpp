#include "app/screens.h"

#include "app/appshell.h"
#include "app/musicdisk.h"
#include "app/playback.h"
#include "framework/base/time.h"

void EnterMainScreen(void) {
  ScreenState = 1;
  CurrentTrack = 0;
  ChangeTrack(TrackText(Tracks[0].OggName));
  ScreenStart = SYS_TimerGet();
  ElapsedMs = SYS_TimerGet() - ScreenStart;
}

void DrawIntroScreen(void) {
  const float e = static_cast<float>(ElapsedMs);
  if (ElapsedMs < 8727) ife_render(LayersPreIntro, e / 8.727f);
  static const int32_t kStarts[6] = {8727, 17457, 26181, 34908, 43636, 0x7FFFFFFF};
  for (int i = 0; i < 5; ++i)
    if (ElapsedMs >= kStarts[i] && ElapsedMs < kStarts[i + 1])
      ife_render(LayersIntro[i], static_cast<float>(ElapsedMs - kStarts[i]));
  if (ElapsedMs >= 52363) ife_render(LayersBlackFade, static_cast<float>(ElapsedMs - 52363) / 2.0f);
  if (ElapsedMs > 54500) EnterMainScreen();
}

void DrawMainScreen(void) { ife_render(LayersMainBkg, 0); }

void DrawBonusScreen(void) { ife_render(LayersBonusBkg, 0); }

void DrawEndScreen(void) {
  ife_render(LayersEndScroll, 500);
  if (BASS_ChannelIsActive(MusicStream) == 0) AppQuit = 1;
}

void EscapeNothing(void) {}

void EscapeQuit(void) { AppQuit = 1; }
