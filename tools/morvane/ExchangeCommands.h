#pragma once
// The CSV commands of the morvane tool: their arguments in, the core's
// exchange functions out.

#include <cstdint>
#include <span>
#include <string>

#include "Commands.h"
#include "exchange/StudyCsv.h"

namespace morvane::tool {

// The usage lines of the two commands.
extern const char* const kExchangeUsage;

// The value of --separator (",", ";" or "tab", or their names) and of
// --encoding ("utf-8" or "cp932", in any case); UsageError for another.
char SeparatorOption(const std::string& value);
CsvEncoding EncodingOption(std::string value);
// The value of --header-line: a line number from 1; UsageError for another.
std::int64_t HeaderLineOption(const std::string& value);

// `export DATAFILE OUT.csv [--long | --wide]`, from the arguments after the
// command's name. Returns 0, or 2 after a usage message; throws the core's errors.
int Export(std::span<const std::string> words);

// `import IN.csv DATAFILE [--long | --wide] [options]`, likewise.
int Import(std::span<const std::string> words, const Settings& settings);

}  // namespace morvane::tool
