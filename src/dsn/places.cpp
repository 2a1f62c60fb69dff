#include "dsn/places.h"

namespace dsnconf {

const Place kUserPlace = {Scope::User, MachineView::None, HKEY_CURRENT_USER, 0, "user"};
const Place kSystem64Place = {Scope::System, MachineView::Bit64, HKEY_LOCAL_MACHINE,
                              KEY_WOW64_64KEY, "64-bit system"};
const Place kSystem32Place = {Scope::System, MachineView::Bit32, HKEY_LOCAL_MACHINE,
                              KEY_WOW64_32KEY, "32-bit system"};

bool hasTwoMachineViews() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::vector<const Place*> machinePlaces() {
  if (hasTwoMachineViews()) return {&kSystem64Place, &kSystem32Place};
  return {&kSystem32Place};
}

std::vector<const Place*> allPlaces() {
  std::vector<const Place*> places = {&kUserPlace};
  for (const Place* place : machinePlaces()) places.push_back(place);
  return places;
}

}  // namespace dsnconf
