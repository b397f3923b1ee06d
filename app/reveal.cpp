// The reveal: in full screen a draw's values show one at a time, in slot order, at the pace the
// user chose in the system menu ("Dévoilement"). The choice is kept for the user as the DWORD
// DevoilementMs under HKCU\Software\Tirage Vorellis: 0, 1000, 2000 or 3000; anything else, or
// nothing, is "Immédiat", so that a draw shows whole unless the user asked otherwise.
#include "app/draw.h"
#include "app/full_screen.h"
#include "gui/event_queue.h"
#include "gui/window.h"

namespace {

const Char16 kKey[] = L"Software\\Tirage Vorellis";
const Char16 kValue[] = L"DevoilementMs";
const uint32_t kPaces[REVEAL_PACES] = {0, 1000, 2000, 3000};
const Char16* const kNames[REVEAL_PACES] = {L"Imm\u00E9diat", L"1 s", L"2 s", L"3 s"};
const intptr_t kTimer = 4;  // a timer of the main window

uint32_t g_pace;
HMENU g_menu;

uint32_t readPace() {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return 0;
  for (uint32_t pace : kPaces)
    if (pace == value) return pace;
  return 0;
}

void check(int32_t index) {
  CheckMenuRadioItem(g_menu, REVEAL_IMMEDIATE, REVEAL_IMMEDIATE + 16 * (REVEAL_PACES - 1),
                     REVEAL_IMMEDIATE + 16 * index, MF_BYCOMMAND);
}

void choose(int32_t index) {
  g_pace = kPaces[index];
  DWORD value = g_pace;
  RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &value, sizeof value);
  check(index);
  g_program.revealing = FullScreen_On() && g_pace;
}

void tick() {
  if (!Slots_Reveal(1)) KillTimer(Window_Handle(0), kTimer);
}

}  // namespace

void Reveal_Install(HMENU menu) {
  g_pace = readPace();
  g_menu = CreatePopupMenu();
  if (!g_menu) return;
  int32_t chosen = 0;
  for (int32_t i = 0; i < REVEAL_PACES; i++) {
    AppendMenuW(g_menu, MF_STRING, REVEAL_IMMEDIATE + 16 * i, kNames[i]);
    if (kPaces[i] == g_pace) chosen = i;
  }
  check(chosen);
  if (!AppendMenuW(menu, MF_POPUP, (UINT_PTR)g_menu, L"&D\u00E9voilement")) DestroyMenu(g_menu);
  Event_Bind(EVENT_TIMER, 0, kTimer, -1, tick);
}

uint32_t Reveal_Pace() { return g_pace; }

void Reveal_Start() {
  if (Slots_Reveal(1)) SetTimer(Window_Handle(0), kTimer, g_pace, nullptr);
}

bool Reveal_Busy() { return g_program.hidden > 0; }

void Reveal_Finish() {
  KillTimer(Window_Handle(0), kTimer);
  Slots_Reveal(7);
}

void Reveal_Stop() {
  KillTimer(Window_Handle(0), kTimer);
  g_program.hidden = 0;
}

bool Reveal_Command(intptr_t command) {
  intptr_t index = (command - REVEAL_IMMEDIATE) / 16;
  if (command < REVEAL_IMMEDIATE || index >= REVEAL_PACES || command % 16) return false;
  choose((int32_t)index);
  return true;
}
