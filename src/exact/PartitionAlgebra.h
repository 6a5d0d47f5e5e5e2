#pragma once
// The partition of the A x B x S design from totals, in any exact integer
// type (GMP's for the scores, 128 bits for ranks): with d = n na nb
// observations, t their total, q the sum of their squares and qX the sum of the
// squared totals of each grouping X (a level of A, of B, a subject, a cell, a
// subject's level of A, of B), each sum of squares times d is an integer:
//   total = d q - t^2            S  = n qS - t^2        A = na qA - t^2
//   B  = nb qB - t^2             AB = na nb qAB - t^2 - A - B
//   AS = n na qAS - t^2 - A - S  BS = n nb qBS - t^2 - B - S
//   ABS = total - A - B - S - AB - AS - BS
// (so that SS = source / d).

namespace morvane {

template <typename Int>
struct ScaledPartition {
    Int total, s, a, b, ab, as, bs, abs;
};

template <typename Int>
struct PartitionTotals {
    Int t, q, qA, qB, qS, qAB, qAS, qBS;
};

template <typename Int>
ScaledPartition<Int> PartitionFromTotals(const PartitionTotals<Int>& x, const Int& n, const Int& na,
                                         const Int& nb) {
    const Int t2 = x.t * x.t;
    ScaledPartition<Int> p;
    p.total = n * na * nb * x.q - t2;
    p.a = na * x.qA - t2;
    p.b = nb * x.qB - t2;
    p.s = n * x.qS - t2;
    p.ab = na * nb * x.qAB - t2 - p.a - p.b;
    p.as = n * na * x.qAS - t2 - p.a - p.s;
    p.bs = n * nb * x.qBS - t2 - p.b - p.s;
    p.abs = p.total - p.a - p.b - p.s - p.ab - p.as - p.bs;
    return p;
}

}  // namespace morvane
