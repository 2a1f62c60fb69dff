// The places the family's configuration lives in: the current user's tree and
// the machine tree in its 64-bit and 32-bit registry views, and how command
// lines choose among them and messages name them. Every command takes its
// places from here.
#pragma once

#include <string>
#include <vector>

#include "win32.h"

namespace dsnconf {

enum class Scope { User, System };
enum class MachineView { None, Bit64, Bit32 };

struct Place {
  Scope scope;
  MachineView view;
  HKEY root;
  // Added to every access mask of a key opened directly under the root.
  REGSAM viewFlag;
  // How messages name the place: "user", "64-bit system", "32-bit system".
  const char* name;
  // How view /all heads its list: "User", "64-bit System", "32-bit System".
  const char* title;
};

extern const Place kUserPlace;
extern const Place kSystem64Place;
extern const Place kSystem32Place;

// Whether the machine tree has two views: the 32-bit program runs under
// WOW64 on 64-bit Windows.
bool hasTwoMachineViews();

// The machine views there are: 64-bit then 32-bit, or the one view of a
// 32-bit system (named as its 32-bit view).
std::vector<const Place*> machinePlaces();

// The user's tree, then the machine views: the order in which data sources
// are looked for and walked.
std::vector<const Place*> allPlaces();

// The three places the first commands look in, in this order, on every
// system: on one with a single view both view flags reach that view.
extern const Place* const kLookupPlaces[3];

// A command line's choice of places: /user or /system, and /64, /32 or
// neither. On a system with one registry view both view words mean that view.
struct PlaceChoice {
  Scope scope = Scope::User;
  MachineView view = MachineView::None;
};

// The machine view a view word names: the 64-bit or 32-bit view, or the one
// view of a 32-bit system.
const Place& machineViewPlace(MachineView view);

// The places the choice names: the user's tree, one machine view, or every
// machine view there is.
std::vector<const Place*> chosenPlaces(const PlaceChoice& choice);

// How messages name a data source of the choice, e.g. "64-bit system DSN" or,
// for both machine views, "system DSN".
std::string choiceDsnLabel(const PlaceChoice& choice);

// How messages name a data source of a place: "64-bit system DSN Payroll".
std::string placeDsnLabel(const Place& place, const std::string& name);

// "64" or "32": the bits of a machine view, as messages give them.
const char* viewBits(const Place& view);

// "*** Got error code <n> while looking for the <place> DSN <name> ***".
void printDsnLookupFailure(const Place& place, const std::string& name, LSTATUS status);

// "*** Got error code <n> while <doing> the <place> DSN <name> ***", followed
// by the administrator hint where a standard user is the likely cause.
void printDsnChangeFailure(const char* doing, const Place& place, const std::string& name,
                           LSTATUS status);

}  // namespace dsnconf
