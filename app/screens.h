// The four screens' drawing and their Escape actions, as far as they stand.
#pragma once

void DrawIntroScreen(void);
void DrawMainScreen(void);
void DrawBonusScreen(void);
void DrawEndScreen(void);
// The change to the main screen, as at the end of the intro.
void EnterMainScreen(void);
void EscapeNothing(void);
void EscapeQuit(void);
