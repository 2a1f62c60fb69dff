// The places the family's configuration lives in: the current user's tree and
// the machine tree in its 64-bit and 32-bit registry views. Every command that
// goes beyond one data source names its places from here.
#pragma once

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

}  // namespace dsnconf
