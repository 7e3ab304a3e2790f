// Benchmarks of the maths that the skinning and herd code run per vertex and
// per joint every frame.
#include "maths/NiftyMaths.h"

#include <benchmark/benchmark.h>

namespace {

void BM_MultiplyMatrix(benchmark::State& state)
{
    MATRIX a = MatrixFromAngle(MakePoint(10, 20, 30));
    const MATRIX b = QuatToRotationMatrix(RotationToQuat(MakePoint(5, 6, 7)));
    for (auto _ : state) {
        a = MultiplyMatrix(a, b);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_MultiplyMatrix);

void BM_QuatSlerp(benchmark::State& state)
{
    const QUAT from = RotationToQuat(MakePoint(0, 10, 0));
    const QUAT to = RotationToQuat(MakePoint(40, 100, 5));
    double t = 0;
    for (auto _ : state) {
        t = t > 1 ? 0 : t + 0.001;
        benchmark::DoNotOptimize(QuatSlerp(&from, &to, t));
    }
}
BENCHMARK(BM_QuatSlerp);

void BM_RotateAndTranslatePoint(benchmark::State& state)
{
    MATRIX m = MatrixFromAngle(MakePoint(10, 20, 30));
    m.SetTranslation(MakePoint(1, 2, 3));
    VECTOR3D p = MakePoint(0.5f, 0.25f, 2);
    for (auto _ : state) {
        p = MatrixTranslatePoint(m, MatrixRotatePoint(m, p));
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_RotateAndTranslatePoint);

} // namespace
