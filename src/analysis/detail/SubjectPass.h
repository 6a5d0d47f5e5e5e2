#pragma once
// Private to the full analysis: the one pass over the subjects' offsets, and
// the moments it leaves for the statistics.

#include <cstddef>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "analysis/detail/Moments.h"
#include "exact/ExactPartition.h"

namespace morvane::analysis {

// The sizes of a study of n subjects and na x nb cells (each at least 1).
struct Layout {
    std::size_t n, na, nb;
    std::size_t cells = na * nb;
    // The pairs of levels of each factor: the comparisons' families are
    // marginal A, marginal B, A at each level of B, B at each level of A.
    std::size_t pairsA = na * (na - 1) / 2, pairsB = nb * (nb - 1) / 2;
    // Which families are compared (ComparedFamilies): the pass sums the
    // differences of those alone, family by family in the order above.
    ComparedFamilies compared;
    std::size_t differences;
    std::size_t interactionContrasts = (na - 1) * (nb - 1);
    // Whether the interaction's sphericity is computed: not for contrasts too
    // many for the time and memory their covariances take.
    bool interactionSphericity;
    // Whether the simple effects' contrasts (A at each level of B, B at each
    // level of A) have their covariances: not when these would take more
    // memory than a study of this size should.
    bool simpleCovariances;

    Layout(std::size_t subjects, std::size_t levelsA, std::size_t levelsB, bool meansOnly = false);
};

// The moments of the pass over n subjects, whichever arithmetic took them.
struct PassMoments {
    // Of each cell (a * nb + b), level of A and level of B: the mean's, and
    // that of the subject's value less the subject's mean (Cousineau's
    // normalisation).
    std::vector<Moment> cellRaw, cellNormal, aRaw, aNormal, bRaw, bNormal;
    // Of the paired differences of levels i < j, family by family in the
    // order of Layout, pairs in the order (i, j) of the rows.
    std::vector<Moment> differences;
    // The covariances of the orthonormal Helmert contrasts of the marginal
    // means of A and B, of the interaction (empty unless its sphericity is
    // computed), of A at each level of B and of B at each level of A. Present
    // for n > 1 only.
    SquareMatrix a, b, ab;
    std::vector<SquareMatrix> aAtB, bAtA;
    // Where the pass summed integers (every Moment's `exact` then filled): the
    // scale of their units, and the exact diagonals (CentredDiagonal) of the
    // integer contrasts of aAtB and bAtA, for the simple effects' errors.
    bool exact = false;
    int scale = 0;
    std::vector<std::vector<Int128>> aAtBCentred, bAtACentred;
};

// The moments of every mean, difference and set of contrasts of the study
// whose partition (with its offsets) is `part`: exactly over integers where
// the offsets are integers small enough, in the extended format otherwise.
PassMoments SummariseSubjects(const ExactPartition& part, const Layout& layout);

}  // namespace morvane::analysis
