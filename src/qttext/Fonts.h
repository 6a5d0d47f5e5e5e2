#pragma once
// The program's faces as Qt fonts. Each is a family list: the face the program
// was designed with, then the Debian font that stands in for it.

#include <QFont>
#include <QStringList>

#include "runtime/Faces.h"

namespace morvane::qttext {

// The families of `face`: its designed name, then its stand-in.
QStringList Families(Face face);

// The families that stand for a face named by the program: the name itself
// first, then the stand-in when it is one of the program's faces.
QStringList FontFamilies(const QString& name);

// `face` with a character (em) height of `pixels`.
QFont CharacterFont(Face face, int pixels);

// `face` whose character cell (em plus internal leading) is `pixels` high. The
// stand-in faces have no internal leading, so the em is the cell.
QFont CellFont(Face face, int pixels);

// A regular font of `name` in `points`, with the families of FontFamilies.
QFont ProgramFont(const QString& name, int points);

}  // namespace morvane::qttext
