#pragma once
// The English of the program's messages, for the message boxes of the windows
// in English. The messages themselves stay the code page 932 Japanese texts
// the core and the tool share; here each fixed text (with the names, numbers
// and places it quotes) is matched and said again in English.

#include <QString>
#include <QStringList>

namespace morvane::widgets {

// `japanese`, a message as the core gives it (without its full stop), in
// English: line by line, each line matched against the fixed texts (a line
// place "3 行 2 列: " before it said as "Line 3, column 2: "), the quoted
// names kept as they are, a full stop after a line that the Japanese rule
// would end with one. A quoted name may hold a line break: the shortest run of
// lines that is one fixed text is taken. A line in Japanese that matches none
// is kept, led by "The program said: "; any other line stays as it is. Empty
// when no line matched and none was Japanese.
QString EnglishMessage(const QString& japanese);

// The fixed texts the table knows, as the patterns it matches them by.
QStringList EnglishMessagePatterns();

}  // namespace morvane::widgets
