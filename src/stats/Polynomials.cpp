#include "stats/Polynomials.h"

#include <algorithm>

namespace morvane {
namespace {

mpq_class Dot(const std::vector<mpq_class>& a, const std::vector<mpq_class>& b) {
    mpq_class sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
    return sum;
}

// A rational row as the smallest integers of its direction (the same signs).
std::vector<mpz_class> Integers(const std::vector<mpq_class>& row) {
    mpz_class denominators = 1, common = 0;
    for (const mpq_class& x : row)
        mpz_lcm(denominators.get_mpz_t(), denominators.get_mpz_t(), x.get_den_mpz_t());
    std::vector<mpz_class> out;
    for (const mpq_class& x : row) {
        out.push_back(x.get_num() * (denominators / x.get_den()));
        mpz_gcd(common.get_mpz_t(), common.get_mpz_t(), out.back().get_mpz_t());
    }
    if (common > 1)
        for (mpz_class& x : out) x /= common;
    return out;
}

}  // namespace

std::vector<std::vector<mpz_class>> OrthogonalPolynomials(const std::vector<mpq_class>& scores) {
    const std::size_t k = scores.size();
    std::vector<std::vector<mpz_class>> rows;
    if (k < 2) return rows;
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = i + 1; j < k; ++j)
            if (scores[i] == scores[j]) return rows;
    mpq_class mean = 0;
    for (const mpq_class& s : scores) mean += s;
    mean /= static_cast<long>(k);
    std::vector<mpq_class> centred(k), power(k, mpq_class(1));
    for (std::size_t i = 0; i < k; ++i) centred[i] = scores[i] - mean;
    // The basis so far, from the constant row; each power less its projections on it.
    std::vector<std::vector<mpq_class>> basis{power};
    for (std::size_t d = 1; d < k; ++d) {
        for (std::size_t i = 0; i < k; ++i) power[i] *= centred[i];
        std::vector<mpq_class> row = power;
        for (const std::vector<mpq_class>& b : basis) {
            const mpq_class projection = Dot(power, b) / Dot(b, b);
            for (std::size_t i = 0; i < k; ++i) row[i] -= projection * b[i];
        }
        rows.push_back(Integers(row));
        basis.push_back(std::move(row));
    }
    return rows;
}

bool SmallIntegers(const std::vector<mpz_class>& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const mpz_class& x) { return abs(x) <= kPolynomialIntegersUpTo; });
}

std::string DegreeName(std::size_t degree) {
    static const char* const kNames[] = {"linear", "quadratic", "cubic", "quartic"};
    if (degree >= 1 && degree <= 4) return kNames[degree - 1];
    return "degree " + std::to_string(degree);
}

}  // namespace morvane
