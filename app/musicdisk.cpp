#include "app/musicdisk.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/appshell.h"
#include "app/extract.h"
#include "app/glyphs.h"
#include "app/playback.h"
#include "app/screens.h"
#include "app/slides.h"
#include "app/spare.h"
#include "engine/draw.h"
#include "engine/particles.h"
#include "framework/base/cfg.h"
#include "framework/base/file.h"
#include "framework/base/time.h"
#include "framework/tl/TL.h"
#include "platform/bass/bass.h"
#include "platform/rtl.h"
#include "units/gltexture.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/random.h"
#include "units/sysunit.h"
#include "units/texmgr.h"
#include "units/txunit.h"
#include "units/wmunit.h"

using namespace qgl;

DiskState Disk;

ScreenProc ScreenDraw[kScreenCount] = {DrawIntroScreen, DrawMainScreen, DrawBonusScreen, DrawEndScreen};
ScreenProc ScreenEscape[kScreenCount] = {EnterMainScreen, EscapeNothing, EscapeNothing, EscapeQuit};

// --- pure helpers ----------------------------------------------------------------------

int32_t LetterboxHeight(int32_t windowWidth) {
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(windowWidth) / 16.0 * 9.0));
}

int32_t LetterboxBar(int32_t windowHeight, int32_t viewHeight) { return (windowHeight - viewHeight) / 2; }

int32_t VirtualY(int32_t mouseY, int32_t windowHeight, int32_t viewHeight) {
  int64_t y = 720 - (static_cast<int64_t>(mouseY) - LetterboxBar(windowHeight, viewHeight));
  return static_cast<int32_t>(y < 0 ? 0 : (y > 719 ? 719 : y));
}

ShortString FpsFigure(int32_t frames, int32_t milliseconds) {
  if (milliseconds <= 0) return "0.00";
  double fps = static_cast<double>(frames) / milliseconds * 1000.0;
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, fps, std::chars_format::fixed, 2);
  if (r.ec != std::errc()) return "0.00";
  return ShortString(std::string_view(text, static_cast<size_t>(r.ptr - text)));
}

bool LoadingTickLit(int32_t tick, int32_t step) {
  return tick <= static_cast<int32_t>(std::nearbyint(static_cast<double>(step) * 18.0 / 5.0));
}

// --- start-up -----------------------------------------------------------------------------

void MusicDiskUnitInits(void) {
  SysUnitInit();
  WindowManagerUnitInit();
  GLUnitInit();
  GLUUnitInit();
  TextureLoaderUnitInit();
  // Before the first file is opened, so that a missing one reaches the user.
  AppShellUnitInit();
  TextureManagerUnitInit();
}

namespace {

void SetLetterboxViewport(void) {
  Disk.ViewHeight = LetterboxHeight(Disk.WindowWidth);
  glViewport(0, LetterboxBar(Disk.WindowHeight, Disk.ViewHeight), Disk.WindowWidth, Disk.ViewHeight);
}

void DrawLoadingRing(void) {
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glLineWidth(2.0f);
  glBegin(GL_LINES);
  for (int32_t i = 0; i < 200; ++i) {
    double a = M_PI * i / 133.0;
    float grey = LoadingTickLit(i, Disk.LoadingStep) ? 0.5f : 0.2f;
    glColor3f(grey, grey, grey);
    glVertex2f(static_cast<float>(640 + 150 * std::sin(a)), static_cast<float>(472 - 150 * std::cos(a)));
    glVertex2f(static_cast<float>(640 + 160 * std::sin(a)), static_cast<float>(472 - 160 * std::cos(a)));
  }
  glEnd();
}

// Zero-filled: nothing draws into them, and a layer that shows one must
// not show whatever the memory held.
void CreateBufferTextures(void) {
  std::vector<uint8_t> black(512 * 512 * 3, 0);
  for (int i = 0; i < 4; ++i) {
    Disk.BufferTextures[i] =
        static_cast<int32_t>(NewTexture2D(512, 512, 3, GL_RGB, GL_LINEAR, TextureWrap::ClampToEdge, black.data()));
    Ife.ife_buffers[i] = Disk.BufferTextures[i];
  }
}

struct LayerFile {
  ife_interface* layers;
  const char* name;
};

ShortString TwoDigitName(int32_t n) { return TwoDigitStr(n) + ".tga"; }

}  // namespace

void LoadingFrame(void) {
  ++Disk.LoadingStep;
  SetLetterboxViewport();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ife_render(Disk.LoadingLayers, static_cast<float>(Disk.LoadingStep) * 18.0f);
  ife_drawing_space();
  DrawLoadingRing();
  wmSwapBuffers(Shell.AppWindow);
  Shell.AppLastKey = 0;
  wmPumpMessages();
  SYS_Sleep(10);
}

void LoadingPhase(void) {
  ife_load(Disk.LoadingLayers, "loading.ife", "");
  LoadingFrame();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  txOptions(TX_OPT_ORDER, 1);
  txOptions(TX_OPT_QUALITY, Shell.CfgTextureQuality);
  // Forgets the loading screen's textures: they stay in GL, out of the table.
  ResetTextures();

  BuildDebugFontTexture();
  CreateBufferTextures();
  LoadingFrame();

  const LayerFile files[] = {
      {&Disk.LayersVBlur, "v_blur.ife"},         {&Disk.LayersHBlur, "h_blur.ife"},
      {&Disk.LayersBlackFade, "blackfade.ife"},  {&Disk.LayersWhiteFade, "whitefade.ife"},
      {&Disk.LayersIntro[0], "intro00.ife"},     {&Disk.LayersIntro[1], "intro01.ife"},
      {&Disk.LayersIntro[2], "intro02.ife"},     {&Disk.LayersIntro[3], "intro03.ife"},
      {&Disk.LayersIntro[4], "intro04.ife"},     {&Disk.LayersMainBkg, "main_bkg.ife"},
      {&Disk.LayersBonusBkg, "bonus_bkg.ife"},   {&Disk.LayersLeftLow, "bal_mely.ife"},
      {&Disk.LayersLeftMid, "bal_kozep.ife"},    {&Disk.LayersLeftHigh, "bal_magas.ife"},
      {&Disk.LayersRightLow, "jobb_mely.ife"},   {&Disk.LayersRightMid, "jobb_kozep.ife"},
      {&Disk.LayersRightHigh, "jobb_magas.ife"}, {&Disk.LayersFrame, "keret.ife"},
      {&Disk.LayersPreIntro, "preintro.ife"},    {&Disk.LayersButtons, "gui.ife"},
      {&Disk.LayersEndScroll, "endscroll.ife"},  {&Disk.LayersEndOverlay, "end2.ife"},
      {&Disk.LayersHighlight, "highlight.ife"},
  };
  for (const LayerFile& f : files) {
    bool gui = f.layers == &Disk.LayersButtons;
    if (gui) Ife.ife_texture_mode = 0;
    ife_load(*f.layers, f.name, "");
    if (gui) Ife.ife_texture_mode = 1;
    LoadingFrame();
  }

  Playback.EqTexture = LoadTexture("eq.tga", 0);
  LoadingFrame();
  Playback.VolumeTexture = LoadTexture("volume.tga", 0);
  LoadingFrame();
  Disk.ScrollerTexture = LoadTexture("swscroll.tga", 1);
  LoadingFrame();
  for (int32_t i = 0; i < kPhotoSlots; ++i) {
    SlideShow.Photos[i] = LoadTexture(TwoDigitName(i + 1), 1);
    LoadingFrame();
  }

  SlideShow.PhotoCount = kPhotoSlots;
  FillCaptions();
  LoadingFrame();
  // The length is the block's own: the scrollers read exactly what was loaded.
  Glyphs.ScrollText = LoadWholeFile("scroll.txt", &Glyphs.ScrollLength);
  LoadingFrame();
  Glyphs.GlyphSetData = LoadWholeFile("fontset.dat", &Glyphs.GlyphSetSize);
  LoadingFrame();

  BuildGlyphTextures(Glyphs.GlyphSetData, Glyphs.GlyphSetSize);
  SlideShow.SlideIndex = 0;
  PuzzleInOrder();
  BuildShuffleOrder();
}

void MusicDiskMain(void) {
  RunInits();
  // A missing archive shows up at the first file read below.
  char* archive = SYS_PathGet(SYS_PATH_PROGRAM, "kelm.dat");
  SYS_FilePackOpen(archive);
  MemFree(archive);
  ReadTrackTable();
  if (RtlArgc() > 1 && std::strcmp(RtlArgv()[1], "-extract") == 0) ExtractMusic();
  AppCreateWindow("Zentrove Remix Competition 2 Musicdisk", Disk.WindowWidth, Disk.WindowHeight, Disk.WindowFullscreen);
  Disk.DebugOverlay = SYS_CfgGet("debug", SYS_CFG_PRESENT) ? 1 : 0;
  LoadingPhase();

  glEnable(GL_NORMALIZE);
  Disk.ElapsedMs = 0;
  Disk.FpsString = "0";
  Randomize();
  if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) FatalError("Can't initialize device");
  StartPiece("intro.ogg");
  SYS_TimerReset();
  Disk.ScreenStart = 0;
  Disk.ScreenState = kScreenIntro;
  Disk.FpsScreenStart = 0;
  while (Shell.AppQuit == 0) MusicDiskFrame();
  AppCloseWindow();
}

// --- the frame loop ---------------------------------------------------------------------

namespace {

void CountFrame(void) {
  // A new screen starts its clock at 0: the count starts again from this
  // frame, so the first figure on it is not one of frames over a span that
  // began on the old screen.
  if (Disk.ScreenStart != Disk.FpsScreenStart) {
    Disk.FpsScreenStart = Disk.ScreenStart;
    Disk.FpsTime = SYS_TimerGet() - Disk.ScreenStart;
    Disk.FrameCount = 0;
  } else {
    ++Disk.FrameCount;
  }
  if (Disk.ElapsedMs - Disk.FpsTime >= 200) {
    Disk.FpsString = FpsFigure(Disk.FrameCount, Disk.ElapsedMs - Disk.FpsTime);
    Disk.FpsTime = Disk.ElapsedMs;
    Disk.FrameCount = 0;
  }
  Disk.FpsText = ShortString("FPS : [") + Disk.FpsString + "]";
}

void ReadMouse(void) {
  Disk.VirtualMouseX = Shell.AppMouseX;
  Disk.VirtualMouseY = VirtualY(Shell.AppMouseY, Disk.WindowHeight, Disk.ViewHeight);
  int32_t wasHeld = Disk.MouseHeld;
  // A press latched since the last frame counts as held for this one frame,
  // even when its release came in the same pump, so that a quick click
  // reaches the buttons, rows, tiles and the volume bar alike.
  const bool pressed = Shell.AppMousePressed != 0;
  Shell.AppMousePressed = 0;
  Disk.MouseHeld = Shell.AppMouseButton == 1 || pressed ? 1 : 0;
  Disk.MouseClicked = Disk.MouseHeld == 1 && (wasHeld == 0 || pressed);
}

void DrawDebugOverlay(void) {
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(Glyphs.DebugFontTexture));
  glEnable(GL_TEXTURE_2D);
  DebugFontText(IntStr(Disk.ElapsedMs) + " frame : " + IntStr(Disk.ElapsedMs / 40) + " " + Disk.FpsText, false, 1, 1);
  glEnable(GL_BLEND);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glBlendFunc(GL_ONE, GL_ONE);
}

}  // namespace

void MusicDiskFrame(void) {
  glViewport(0, 0, Disk.WindowWidth, Disk.WindowHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetLetterboxViewport();
  Disk.ElapsedMs = SYS_TimerGet() - Disk.ScreenStart;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  DrawUnit.TrianglesDrawn = 0;
  DrawUnit.ObjectsDrawn = 0;
  ParticlesUnit.ParticlesDrawn = 0;

  for (int32_t screen = kScreenIntro; screen < kScreenCount; ++screen)
    if (Disk.ScreenState == screen && ScreenDraw[screen]) ScreenDraw[screen]();
  if (Disk.PreviousKey == 0 && Shell.AppLastKey == kKeyEscape && Disk.ScreenState >= kScreenIntro &&
      Disk.ScreenState < kScreenCount && ScreenEscape[Disk.ScreenState])
    ScreenEscape[Disk.ScreenState]();

  glEnable(GL_TEXTURE_2D);
  CountFrame();
  if (wglSwapIntervalEXT) wglSwapIntervalEXT(Shell.CfgVSync ? 1 : 0);

  glDisable(GL_LIGHTING);
  glViewport(0, 0, Disk.WindowWidth, Disk.WindowHeight);
  glColor4f(1, 1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);

  ReadMouse();
  if (Disk.DebugOverlay == 1) DrawDebugOverlay();

  wmSwapBuffers(Shell.AppWindow);
  Disk.PreviousKey = Shell.AppLastKey;
  Shell.AppLastKey = 0;
  wmPumpMessages();
}
