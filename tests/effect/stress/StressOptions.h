// How long each stress test runs: ORVEX_STRESS_SECONDS or the program's first argument,
// 10 s by default.
#pragma once

double stressSeconds();
