#pragma once
// The design of the worked example typed into the design window as a user
// would: levels a1 and a2 of A, b1 and b2 of B, and N = 3.

#include "designwindow/UMorvane.h"
#include "support/WindowDriving.h"

namespace morvane::testing {

inline void TypeWorkedExampleDesign(TForm1* form) {
    form->AddAButton->click();
    TypeInCell(form->StringGridA, 1, 1, "a1");
    TypeInCell(form->StringGridA, 1, 2, "a2");
    form->AddBButton->click();
    TypeInCell(form->StringGridB, 1, 1, "b1");
    TypeInCell(form->StringGridB, 1, 2, "b2");
    form->NEdit->setFocus();
    form->NEdit->selectAll();
    TypeText(form->NEdit, "3");
}

}  // namespace morvane::testing
