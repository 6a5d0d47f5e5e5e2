#pragma once
// The design of the worked example typed into the levels window as a user
// would: levels a1 and a2 of A, b1 and b2 of B, and N = 3.

#include "levelswindow/LevelsWindow.h"
#include "support/Components.h"
#include "support/WindowDriving.h"

namespace morvane::testing {

inline void TypeWorkedExampleLevels(LevelsWindow* form) {
    testing::Button(form, "AddAButton")->click();
    TypeInCell(testing::Grid(form, "StringGridA"), 1, 1, "a1");
    TypeInCell(testing::Grid(form, "StringGridA"), 1, 2, "a2");
    testing::Button(form, "AddBButton")->click();
    TypeInCell(testing::Grid(form, "StringGridB"), 1, 1, "b1");
    TypeInCell(testing::Grid(form, "StringGridB"), 1, 2, "b2");
    testing::Edit(form, "NEdit")->setFocus();
    testing::Edit(form, "NEdit")->selectAll();
    TypeText(testing::Edit(form, "NEdit"), "3");
}

}  // namespace morvane::testing
