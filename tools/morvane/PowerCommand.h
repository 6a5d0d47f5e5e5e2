#pragma once
// morvane power: the power of the F test of a repeated-measures effect at a
// total N, the smallest N for a power, or the smallest effect detectable at N
// with a power, in text or JSON on standard output.

#include <span>
#include <string>

namespace morvane::tool {

// Runs `power --effect E --levels M [--groups K] (--f F | --eta2p X) [--convention C] [--rho R]
// [--epsilon E] [--alpha A] (--n N | --power P) [--format text|json]`, or with --n and --power and
// no effect size the smallest effect, from the arguments after the command's name; throws
// UsageError when they are not of that form. Gives the exit status: 2 when no N up to 10^9 reaches
// the power.
int Power(std::span<const std::string> words);

}  // namespace morvane::tool
