// The catalogue's contents: the two entries a new laser object starts with, the base catalogue of
// each controller generation, and the three variants that adapt it to the laser found.
//
// lhcVersion is the laser object's LHCVersion: 3 or higher selects the generation-3 lists.
// Each builder changes the list in one step (TCommandList::Assign) and fires its OnChange once
// when assigned, however much it removes and appends.
#pragma once

#include "catalogue/LaserCommand.h"

// Appends the two entries of a freshly created laser object (lcReadSN, lcReadStatus); fires
// OnChange per entry like any Add (the laser attaches its handler afterwards).
void AddInitialCommands(TCommandList& list);

// Clears the list and adds the common entries, then those of the controller generation.
void BuildCommandCatalogue(TCommandList& list, int lhcVersion);

// Per-branch trigger, frequency and current-limit commands of a two-branch laser.
void AddBranchCommands(TCommandList& list, int lhcVersion, bool rebuildFirst);
// A laser whose only branch answers as branch 2: branch-1 current commands go, single-branch
// trigger and frequency commands come.
void AddSingleBranchCommands(TCommandList& list, int lhcVersion, bool rebuildFirst);
// Pulse picker, regulator, protection and free-trigger commands; the branch-2 trigger commands
// go. With rebuildFirst the branch commands are rebuilt (and applied) first.
void AddPickerRegulatorCommands(TCommandList& list, int lhcVersion, bool rebuildFirst);
