#include "assumptions/AssumptionChecks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvane {
namespace {

struct Residuals {
    Stratum stratum;
    std::int64_t df;
    std::vector<Extended> values;
    std::size_t perSubject;  // values [s * perSubject + i]
};

std::vector<Residuals> StrataResiduals(const Extended* y, std::size_t n, std::size_t na, std::size_t nb);
std::vector<CellShape> CellShapes(const Extended* y, std::size_t n, std::size_t na, std::size_t nb);

}  // namespace

AssumptionChecks CheckAssumptions(const Extended* y, std::size_t n, std::size_t na, std::size_t nb) {
    AssumptionChecks out;
    if (n == 0 || na == 0 || nb == 0) return out;
    out.cells = CellShapes(y, n, na, nb);
    std::vector<OutlyingSubject> subjects(n);
    // Residuals within rounding of zero beside the scores' spread are no
    // residuals to test or studentize.
    const std::size_t count = n * na * nb;
    Extended mean = 0, spread = 0;
    for (std::size_t i = 0; i < count; ++i) mean += y[i];
    mean /= static_cast<Extended>(count);
    for (std::size_t i = 0; i < count; ++i) spread += (y[i] - mean) * (y[i] - mean);
    const Extended rounding = 4096 * std::numeric_limits<Extended>::epsilon();
    for (const Residuals& r : StrataResiduals(y, n, na, nb)) {
        StratumCheck check;
        check.stratum = r.stratum;
        check.df = r.df;
        Extended squares = 0;
        for (Extended e : r.values) squares += e * e;
        const bool zero = !(squares > rounding * rounding * spread) || r.df < 1;
        check.normality = zero ? ShapiroWilk({}) : ShapiroWilk(r.values);
        check.normality.count = r.values.size();
        check.normality.inRange = r.values.size() >= 3 && r.values.size() <= 5000;
        out.strata.push_back(check);
        if (zero) continue;
        const Extended scale = std::sqrt(squares / static_cast<Extended>(r.values.size()));
        StratumCheck& c = out.strata.back();
        c.largestStudentized = 0;
        for (std::size_t s = 0; s < n; ++s) {
            OutlyingSubject& subject = subjects[s];
            bool beyond = false;
            for (std::size_t i = 0; i < r.perSubject; ++i) {
                const Extended t = r.values[s * r.perSubject + i] / scale;
                c.largestStudentized = std::max(*c.largestStudentized, std::fabs(t));
                if (!(std::fabs(t) > kOutlyingStudentized)) continue;
                ++c.outlying;
                beyond = true;
                if (std::fabs(t) > std::fabs(subject.largest)) subject.largest = t;
            }
            if (beyond) subject.strata.push_back(r.stratum);
        }
    }
    for (std::size_t s = 0; s < n; ++s) {
        if (subjects[s].strata.empty()) continue;
        ++out.outlyingSubjects;
        if (out.outlying.size() == kOutlyingListed) continue;
        subjects[s].subject = static_cast<std::int32_t>(s + 1);
        out.outlying.push_back(std::move(subjects[s]));
    }
    return out;
}

namespace {

// Each stratum's residuals from the means of the subjects, levels and cells.
std::vector<Residuals> StrataResiduals(const Extended* y, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    const auto N = static_cast<Extended>(n), NA = static_cast<Extended>(na), NB = static_cast<Extended>(nb);
    std::vector<Extended> mab(cells, 0), ma(na, 0), mb(nb, 0);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) mab[c] += y[s * cells + c];
    Extended m = 0;
    for (std::size_t c = 0; c < cells; ++c) {
        mab[c] /= N;
        ma[c / nb] += mab[c] / NB;
        mb[c % nb] += mab[c] / NA;
        m += mab[c] / static_cast<Extended>(cells);
    }
    const auto df = [](std::size_t levels) { return static_cast<std::int64_t>(levels) - 1; };
    Residuals subjects{Stratum::Subjects, df(n), std::vector<Extended>(n), 1};
    Residuals as{Stratum::AS, df(n) * df(na), std::vector<Extended>(n * na), na};
    Residuals bs{Stratum::BS, df(n) * df(nb), std::vector<Extended>(n * nb), nb};
    Residuals abs{Stratum::ABS, df(n) * df(na) * df(nb), std::vector<Extended>(n * cells), cells};
    std::vector<Extended> msa(na), msb(nb);
    for (std::size_t s = 0; s < n; ++s) {
        const Extended* row = y + s * cells;
        std::fill(msa.begin(), msa.end(), 0);
        std::fill(msb.begin(), msb.end(), 0);
        Extended ms = 0;
        for (std::size_t c = 0; c < cells; ++c) {
            msa[c / nb] += row[c] / NB;
            msb[c % nb] += row[c] / NA;
            ms += row[c] / static_cast<Extended>(cells);
        }
        subjects.values[s] = ms - m;
        for (std::size_t a = 0; a < na; ++a) as.values[s * na + a] = msa[a] - ms - ma[a] + m;
        for (std::size_t b = 0; b < nb; ++b) bs.values[s * nb + b] = msb[b] - ms - mb[b] + m;
        for (std::size_t c = 0; c < cells; ++c)
            abs.values[s * cells + c] =
                row[c] - msa[c / nb] - msb[c % nb] - mab[c] + ms + ma[c / nb] + mb[c % nb] - m;
    }
    // A stratum without degrees of freedom has residuals of zero but for rounding.
    for (Residuals* r : {&subjects, &as, &bs, &abs})
        if (r->df < 1) std::fill(r->values.begin(), r->values.end(), 0);
    std::vector<Residuals> out;
    out.push_back(std::move(subjects));
    out.push_back(std::move(as));
    out.push_back(std::move(bs));
    out.push_back(std::move(abs));
    return out;
}

// The skewness G1 = g1 sqrt(n (n - 1)) / (n - 2) and the excess kurtosis
// G2 = (n - 1) ((n + 1) g2 + 6) / ((n - 2) (n - 3)) of each cell's scores, from
// g1 = m3 / m2^(3/2) and g2 = m4 / m2^2 - 3 of the central moments m_k.
std::vector<CellShape> CellShapes(const Extended* y, std::size_t n, std::size_t na, std::size_t nb) {
    const std::size_t cells = na * nb;
    const auto N = static_cast<Extended>(n);
    std::vector<Extended> mean(cells, 0), m2(cells, 0), m3(cells, 0), m4(cells, 0);
    std::vector<bool> varies(cells, false);
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            mean[c] += y[s * cells + c];
            if (y[s * cells + c] != y[c]) varies[c] = true;
        }
    for (Extended& v : mean) v /= N;
    for (std::size_t s = 0; s < n; ++s)
        for (std::size_t c = 0; c < cells; ++c) {
            const Extended d = y[s * cells + c] - mean[c], d2 = d * d;
            m2[c] += d2, m3[c] += d2 * d, m4[c] += d2 * d2;
        }
    std::vector<CellShape> out;
    for (std::size_t c = 0; c < cells; ++c) {
        CellShape shape;
        shape.a = static_cast<std::int32_t>(c / nb + 1);
        shape.b = static_cast<std::int32_t>(c % nb + 1);
        // A cell of one score throughout has no shape.
        const Extended v2 = varies[c] ? m2[c] / N : 0;
        if (n >= 3 && v2 > 0) {
            const Extended g1 = (m3[c] / N) / std::pow(v2, Extended{1.5});
            shape.skewness = g1 * std::sqrt(N * (N - 1)) / (N - 2);
        }
        if (n >= 4 && v2 > 0) {
            const Extended g2 = (m4[c] / N) / (v2 * v2) - 3;
            shape.excessKurtosis = (N - 1) * ((N + 1) * g2 + 6) / ((N - 2) * (N - 3));
        }
        out.push_back(shape);
    }
    return out;
}

}  // namespace
}  // namespace morvane
