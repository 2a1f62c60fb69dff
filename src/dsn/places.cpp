#include "dsn/places.h"

#include "base/output.h"

namespace dsnconf {

const Place kUserPlace = {Scope::User, MachineView::None, HKEY_CURRENT_USER, 0, "user", "User"};
const Place kSystem64Place = {Scope::System,   MachineView::Bit64, HKEY_LOCAL_MACHINE,
                              KEY_WOW64_64KEY, "64-bit system",    "64-bit System"};
const Place kSystem32Place = {Scope::System,   MachineView::Bit32, HKEY_LOCAL_MACHINE,
                              KEY_WOW64_32KEY, "32-bit system",    "32-bit System"};

const Place* const kLookupPlaces[3] = {&kUserPlace, &kSystem64Place, &kSystem32Place};

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

const Place& machineViewPlace(MachineView view) {
  if (!hasTwoMachineViews() || view == MachineView::Bit32) return kSystem32Place;
  return kSystem64Place;
}

std::vector<const Place*> chosenPlaces(const PlaceChoice& choice) {
  if (choice.scope == Scope::User) return {&kUserPlace};
  if (choice.view == MachineView::None) return machinePlaces();
  return {&machineViewPlace(choice.view)};
}

std::string choiceDsnLabel(const PlaceChoice& choice) {
  if (choice.scope == Scope::User) return "user DSN";
  if (choice.view == MachineView::None) return "system DSN";
  return std::string(machineViewPlace(choice.view).name) + " DSN";
}

std::string placeDsnLabel(const Place& place, const std::string& name) {
  return std::string(place.name) + " DSN " + name;
}

const char* viewBits(const Place& view) {
  return view.view == MachineView::Bit64 ? "64" : "32";
}

void printDsnLookupFailure(const Place& place, const std::string& name, LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while looking for the " +
            placeDsnLabel(place, name) + " ***");
}

void printDsnChangeFailure(const char* doing, const Place& place, const std::string& name,
                           LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while " + doing + " the " +
            placeDsnLabel(place, name) + " ***");
  if (status == ERROR_ACCESS_DENIED && place.scope == Scope::System) printAdministratorHint();
}

}  // namespace dsnconf
